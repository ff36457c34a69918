// What orv costs, each figure beside its limit, all measured in one run on this machine:
//
// - a move's way as GUIs play it: "position" with the moves so far, orv's last bestmove and
//   one new move, then "go", to "bestmove"; against a plain relay handed the line the engine
//   gets for it (the single new move) to the engine's move line. Limit: 1.1 times the relay,
//   median and 99th percentile.
// - process start to "usiok" with the engine's name remembered; limit: 1.3 times starting a
//   C program that ends at once, linked as the adapter is.
// - the adapter's own peak resident memory; limit: 2.5 MiB.
// - CPU while the engine is silent (about 0 ms) and score lines translated per second beside
//   the relay's; shown, not judged.
//
//   orv_bench BUILD_FOLDER [rounds] [--judge]
//
// With --judge the exit code is 1 when a judged figure is above its limit; without it 0. A
// wait that runs out ends the bench with exit code 2, saying where (bench_process.h).
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench_process.h"

namespace {

constexpr double kAnswerSeconds = 10;  // the longest wait for any one answer
constexpr double kBurstSeconds = 120;  // for all the score lines of the burst
constexpr double kEndSeconds = 10;     // from the end of input to the end of a program
constexpr int kGamePlies = 256;        // a GUI's usual draw by move count, then a new game
constexpr int kStarts = 50;            // start-ups timed
constexpr long kBurstLines = 20000;
constexpr double kWayLimit = 1.1, kStartUpLimit = 1.3, kPeakLimitMib = 2.5;
const char* const kGo = "go btime 0 wtime 0 byoyomi 0";

double micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

struct Spread {
  double median, p99;
};

Spread spread(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

struct Report {
  bool judge = false;
  int figures = 0, above = 0;
};

// A judged figure: above its limit counts against the run.
void judged(Report& r, const char* what, double value, const char* unit, double limit,
            const std::string& how) {
  const bool above = value > limit;
  ++r.figures;
  r.above += above;
  std::printf("  %-38s %10.1f %-3s  limit %10.1f %-3s %s  %s\n", what, value, unit, limit, unit,
              how.c_str(), above ? "ABOVE" : "within");
}

// A limit of factor times what the plain relay or the minimal process took.
void against(Report& r, const char* what, double value, const char* unit, double factor,
             double base, const char* base_name) {
  char how[128];
  std::snprintf(how, sizeof how, "(%.1f x %s %.1f, ratio %.2f)", factor, base_name, base,
                value / base);
  judged(r, what, value, unit, factor * base, how);
}

void shown(const char* what, double value, const char* unit, const char* beside) {
  std::printf("  %-38s %10.1f %-3s  %s (not judged)\n", what, value, unit, beside);
}

// A folder holding the program at build/front as name, beside the bench engine as molvara
// and the minimal process.
std::string folder(const std::string& build, const std::string& name, const std::string& front) {
  const std::string dir = build + "/bench-run/" + name;
  if (std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()) != 0) {
    give_up({"folders"}, "cannot make " + dir);
  }
  const std::string as = name == "orv" ? "orv_molvara" : name;
  if (symlink((build + "/" + front).c_str(), (dir + "/" + as).c_str()) != 0 ||
      symlink((build + "/bench/bench_engine").c_str(), (dir + "/molvara").c_str()) != 0 ||
      symlink((build + "/bench/minimal_process").c_str(), (dir + "/minimal").c_str()) != 0) {
    give_up({"folders"}, "cannot link the programs into " + dir);
  }
  return dir;
}

// The GUI's side of a game of kings (bench_engine.cpp): orv plays black, the GUI white,
// whose king steps between 5a and 5b.
struct GuiGame {
  std::string position;  // the "position" line of the next round
  int plies = 0;
  bool king_home = true;
};

std::string white_move(GuiGame& g, bool csa) {
  const char* move = csa ? (g.king_home ? "5152OU" : "5251OU") : (g.king_home ? "5a5b" : "5b5a");
  g.king_home = !g.king_home;
  return move;
}

std::string bestmove_of(const Heard& h, const Step& step) {
  const std::string move = h.line.substr(std::min<std::size_t>(h.line.size(), 9));
  if (move.size() != 4) give_up(step, "orv answered \"" + h.line + "\", no move of the game");
  return move;
}

// A new game, until the first position that orv hands the engine as a single new move: the
// start position and the first reply are loaded whole.
void new_game(Process& orv, GuiGame& g, long round) {
  const Step step{"a new game", round};
  g = GuiGame{};
  say(orv, "isready");
  hear_until(orv, "readyok", kAnswerSeconds, step);
  say(orv, "usinewgame");
  say(orv, "position startpos");
  say(orv, kGo);
  g.position = "position startpos moves " +
               bestmove_of(hear_until(orv, "bestmove", kAnswerSeconds, step), step);
  g.position += " " + white_move(g, false);
  say(orv, g.position);
  say(orv, kGo);
  g.position += " " + bestmove_of(hear_until(orv, "bestmove", kAnswerSeconds, step), step);
  g.plies = 3;
}

double orv_round(Process& orv, GuiGame& g, long round) {
  const Step step{"a move's way through orv", round};
  if (g.plies + 2 > kGamePlies) new_game(orv, g, round);
  g.position += " " + white_move(g, false);
  const Clock::time_point t0 = Clock::now();
  say(orv, g.position);
  say(orv, kGo);
  const Heard h = hear_until(orv, "bestmove", kAnswerSeconds, step);
  const Clock::time_point t1 = Clock::now();
  g.position += " " + bestmove_of(h, step);
  g.plies += 2;
  return micros(t1 - t0);
}

double relay_round(Process& relay, GuiGame& g, long round) {
  const std::string move = white_move(g, true);
  const Clock::time_point t0 = Clock::now();
  say(relay, move);
  hear_until(relay, "move", kAnswerSeconds, {"a move's way through the relay", round});
  return micros(Clock::now() - t0);
}

void moves_way(Report& report, Process& orv, Process& relay, int rounds) {
  say(orv, "usi");
  hear_until(orv, "usiok", kAnswerSeconds, {"usi"});
  GuiGame orv_game, relay_game;
  new_game(orv, orv_game, 0);
  say(relay, "move");
  hear_until(relay, "move", kAnswerSeconds, {"the relay's first search"});
  std::vector<double> through_orv, through_relay;
  // In turns, each first every other round, so that neither always finds the other's warmth.
  for (long i = 0; i < rounds; ++i) {
    if (i % 2) through_relay.push_back(relay_round(relay, relay_game, i));
    through_orv.push_back(orv_round(orv, orv_game, i));
    if (i % 2 == 0) through_relay.push_back(relay_round(relay, relay_game, i));
  }
  const Spread o = spread(through_orv), r = spread(through_relay);
  std::printf(
      "A move's way as GUIs play it (position with one new move, go, to bestmove),\n"
      "%d rounds, games of %d plies:\n",
      rounds, kGamePlies);
  against(report, "median", o.median, "us", kWayLimit, r.median, "the plain relay");
  against(report, "99th percentile", o.p99, "us", kWayLimit, r.p99, "the plain relay");
}

// Score lines with 20-move variations: orv is told to arm the burst at usinewgame, and the
// next search prints them before its move; the relay's engine gets the same commands.
void score_lines(Process& orv, Process& relay) {
  const std::string burst = "burst " + std::to_string(kBurstLines);
  say(orv, "setoption name Command value " + burst);
  say(orv, "isready");
  hear_until(orv, "readyok", kAnswerSeconds, {"the burst's new game"});
  say(orv, "usinewgame");
  say(orv, "position startpos");
  Clock::time_point t0 = Clock::now();
  say(orv, kGo);
  const long orv_lines =
      hear_until(orv, "bestmove", kBurstSeconds, {"score lines through orv"}, "info time").counted;
  const double orv_rate = orv_lines / seconds(Clock::now() - t0);
  say(relay, burst);
  t0 = Clock::now();
  say(relay, "move");
  const long relay_lines =
      hear_until(relay, "move", kBurstSeconds, {"score lines through the relay"}, "info").counted;
  const double relay_rate = relay_lines / seconds(Clock::now() - t0);
  std::printf("%ld score lines of 20 moves each (orv passed on %ld, the relay %ld):\n", kBurstLines,
              orv_lines, relay_lines);
  char beside[64];
  std::snprintf(beside, sizeof beside, "the plain relay %.0f /s, ratio %.2f", relay_rate,
                orv_rate / relay_rate);
  shown("score lines per second", orv_rate, "/s", beside);
}

double cpu_ms(const rusage& u) {
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// CPU time of a run: start, isready, a wait with the engine silent, quit.
rusage silent_run(const std::string& dir, int wait_seconds) {
  const Step step{"a run with the engine silent"};
  Process p = spawn(dir, "orv_molvara");
  say(p, "isready");
  hear_until(p, "readyok", kAnswerSeconds, step);
  std::this_thread::sleep_for(std::chrono::seconds(wait_seconds));
  say(p, "quit");
  finish(p, kEndSeconds, step);
  return p.usage;
}

void start_up(Report& report, const std::string& dir) {
  if (access((dir + "/orv_molvara.ini").c_str(), R_OK) != 0) {
    give_up({"start-up"}, "orv_molvara.ini was not written: the name is not remembered");
  }
  std::vector<double> usi, ready, nothing, engine;
  for (long i = 0; i < kStarts; ++i) {
    const Step step{"start-up", i};
    const Clock::time_point s0 = Clock::now();
    Process p = spawn(dir, "orv_molvara");
    say(p, "usi");
    hear_until(p, "usiok", kAnswerSeconds, step);
    const Clock::time_point s1 = Clock::now();
    say(p, "isready");
    hear_until(p, "readyok", kAnswerSeconds, step);
    const Clock::time_point s2 = Clock::now();
    say(p, "quit");
    finish(p, kEndSeconds, step);
    usi.push_back(micros(s1 - s0));
    ready.push_back(micros(s2 - s1));
    const Clock::time_point n0 = Clock::now();
    Process t = spawn(dir, "minimal");
    finish(t, kEndSeconds, step);
    const Clock::time_point e0 = Clock::now();
    Process e = spawn(dir, "molvara");  // the bench engine ends at once without input
    finish(e, kEndSeconds, step);
    nothing.push_back(micros(e0 - n0));
    engine.push_back(micros(Clock::now() - e0));
  }
  std::printf("Start-up with the engine's name remembered, median of %d:\n", kStarts);
  against(report, "process start to usiok", spread(usi).median, "us", kStartUpLimit,
          spread(nothing).median, "the minimal process");
  char beside[64];
  std::snprintf(beside, sizeof beside, "the engine's own start %.1f us", spread(engine).median);
  shown("isready to readyok (starts the engine)", spread(ready).median, "us", beside);
}

}  // namespace

int main(int argc, char** argv) {
  Report report;
  std::vector<const char*> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--judge") == 0) {
      report.judge = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  const int rounds = args.size() > 1 ? std::atoi(args[1]) : 2000;
  if (args.empty() || args.size() > 2 || rounds < 1) {
    std::fprintf(stderr, "usage: orv_bench BUILD_FOLDER [rounds] [--judge]\n");
    return 1;
  }
  signal(SIGPIPE, SIG_IGN);  // a program that ended is found out by the wait for its answer
  const std::string build = args[0];
  const std::string orv_dir = folder(build, "orv", "orv_molvara");
  const std::string relay_dir = folder(build, "relay", "bench/plain_relay");

  Process orv = spawn(orv_dir, "orv_molvara");
  Process relay = spawn(relay_dir, "relay");
  moves_way(report, orv, relay, rounds);
  std::fflush(stdout);
  score_lines(orv, relay);
  const double orv_peak = peak_mib(orv.pid);
  std::fflush(stdout);
  say(orv, "quit");
  finish(orv, kEndSeconds, {"quit"});
  finish(relay, kEndSeconds, {"the relay's end"});

  // The CPU of a run with the engine silent for 5 s, less that of the same run without it.
  const rusage brief = silent_run(orv_dir, 0), idle = silent_run(orv_dir, 5);
  std::printf("The adapter's own costs:\n");
  judged(report, "peak resident memory", orv_peak, "MiB", kPeakLimitMib, "");
  shown("CPU while the engine is silent for 5 s", cpu_ms(idle) - cpu_ms(brief), "ms",
        "expected about 0");
  std::fflush(stdout);

  start_up(report, orv_dir);
  std::printf("Above their limits: %d of %d judged figures%s\n", report.above, report.figures,
              report.judge ? "" : " (not judged: with --judge the exit code is 1 then)");
  return report.judge && report.above > 0 ? 1 : 0;
}
