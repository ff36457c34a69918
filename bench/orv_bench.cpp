// What orv costs, each figure beside its limit measured in the same run on this machine:
// the way of a move through orv against a plain relay of the same bytes, score lines
// translated per second against the relay, "usi" and "isready" answered against starting
// a C program that ends at once, linked as the adapter is (goal: 1.3 times as long), CPU
// while the engine is silent, and the peak memory of the adapter's own process (at most
// 2.5 MiB: the exit code is 1 above it).
//
//   orv_bench BUILD_FOLDER [rounds]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

struct Process {
  pid_t pid = -1;
  int in = -1, out = -1;
  std::string buffer;
  rusage usage{};
};

Process spawn(const std::string& dir, const std::string& program) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) std::exit(1);
  posix_spawn_file_actions_t a;
  posix_spawn_file_actions_init(&a);
  posix_spawn_file_actions_adddup2(&a, in[0], 0);
  posix_spawn_file_actions_adddup2(&a, out[1], 1);
  posix_spawn_file_actions_addchdir_np(&a, dir.c_str());
  std::string arg0 = program;
  char* argv[] = {arg0.data(), nullptr};
  Process p;
  if (posix_spawn(&p.pid, (dir + "/" + program).c_str(), &a, nullptr, argv, environ) != 0)
    std::exit(1);
  posix_spawn_file_actions_destroy(&a);
  close(in[0]), close(out[1]);
  p.in = in[1], p.out = out[0];
  return p;
}

void say(Process& p, const std::string& line) {
  std::string text = line + "\n";
  if (write(p.in, text.data(), text.size()) < 0) std::exit(1);
}

std::string hear(Process& p) {
  for (;;) {
    std::size_t lf = p.buffer.find('\n');
    if (lf != std::string::npos) {
      std::string line = p.buffer.substr(0, lf);
      p.buffer.erase(0, lf + 1);
      return line;
    }
    char chunk[65536];
    ssize_t n = read(p.out, chunk, sizeof chunk);
    if (n <= 0) return "<eof>";
    p.buffer.append(chunk, static_cast<std::size_t>(n));
  }
}

// Lines until one that begins with prefix; returns how many came before it.
long hear_until(Process& p, const std::string& prefix) {
  long before = 0;
  for (std::string l = hear(p); l.rfind(prefix, 0) != 0; l = hear(p)) {
    if (l == "<eof>") std::exit(1);
    ++before;
  }
  return before;
}

void finish(Process& p) {
  close(p.in);
  int status;
  wait4(p.pid, &status, 0, &p.usage);
  close(p.out);
}

// A folder holding the program at build/front as name, beside the bench engine as molvara
// and the minimal process.
std::string folder(const std::string& build, const std::string& name, const std::string& front) {
  const std::string dir = build + "/bench-run/" + name;
  if (std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()) != 0) std::exit(1);
  const std::string as = name == "orv" ? "orv_molvara" : name;
  if (symlink((build + "/" + front).c_str(), (dir + "/" + as).c_str()) != 0 ||
      symlink((build + "/bench/bench_engine").c_str(), (dir + "/molvara").c_str()) != 0 ||
      symlink((build + "/bench/minimal_process").c_str(), (dir + "/minimal").c_str()) != 0) {
    std::exit(1);
  }
  return dir;
}

// The peak resident memory of one process so far, its children not included, in MiB.
double peak_mib(pid_t pid) {
  FILE* status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (!status) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, status)) {
    if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  }
  std::fclose(status);
  return kib / 1024.0;
}

constexpr double kStartUpGoal = 1.3;  // start to usiok, against the minimal process
constexpr double kPeakLimitMib = 2.5;

struct Spread {
  double median, p99;
};

Spread spread(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

void line(const char* what, double orv, double limit, const char* unit) {
  if (limit <= 0) {
    std::printf("%-44s %12.1f %-6s limit          0          (no ratio)\n", what, orv, unit);
    return;
  }
  std::printf("%-44s %12.1f %-6s limit %12.1f %-6s ratio %6.2f\n", what, orv, unit, limit, unit,
              orv / limit);
}

double cpu_ms(const rusage& u) {
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// CPU time and peak memory of a run: start, isready, a wait with the engine silent, quit.
rusage silent_run(const std::string& dir, int seconds) {
  Process p = spawn(dir, "orv_molvara");
  say(p, "isready");
  hear_until(p, "readyok");
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  say(p, "quit");
  finish(p);
  return p.usage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: orv_bench BUILD_FOLDER [rounds]\n");
    return 1;
  }
  const std::string build = argv[1];
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 2000;
  const std::string orv_dir = folder(build, "orv", "orv_molvara");
  const std::string relay_dir = folder(build, "relay", "bench/plain_relay");

  // A move's way: the GUI's search command to the engine, the engine's move back.
  Process orv = spawn(orv_dir, "orv_molvara");
  say(orv, "isready");
  hear_until(orv, "readyok");
  Process relay = spawn(relay_dir, "relay");
  std::vector<double> through_orv, through_relay;
  for (int i = 0; i < rounds; ++i) {
    auto t0 = Clock::now();
    say(orv, "go btime 0 wtime 0 byoyomi 0");
    hear_until(orv, "bestmove");
    auto t1 = Clock::now();
    say(relay, "move");
    hear_until(relay, "move");
    auto t2 = Clock::now();
    through_orv.push_back(micros(t1 - t0));
    through_relay.push_back(micros(t2 - t1));
  }
  const Spread o = spread(through_orv), r = spread(through_relay);
  std::printf("%d rounds of a search command and the engine's move, there and back:\n", rounds);
  line("  bestmove latency, median", o.median, r.median, "us");
  line("  bestmove latency, 99th percentile", o.p99, r.p99, "us");

  // Score lines with 20-move variations, translated.
  const long burst = 20000;
  say(orv, "setoption name Command value burst " + std::to_string(burst));
  say(orv, "usinewgame");
  auto t0 = Clock::now();
  const long orv_lines = hear_until(orv, "bestmove");
  const double orv_rate = orv_lines / std::chrono::duration<double>(Clock::now() - t0).count();
  t0 = Clock::now();
  say(relay, "burst " + std::to_string(burst));
  const long relay_lines = hear_until(relay, "move");
  const double relay_rate = relay_lines / std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("%ld score lines of 20 moves each:\n", burst);
  line("  score lines per second", orv_rate, relay_rate, "/s");
  finish(relay);
  const double orv_peak = peak_mib(orv.pid);

  say(orv, "quit");
  finish(orv);

  // Idle: the CPU of a run with the engine silent for 5 s, less that of the same run
  // without the wait; and the peak memory.
  const rusage brief = silent_run(orv_dir, 0), idle = silent_run(orv_dir, 5);
  std::printf("The engine silent for 5 s:\n");
  line("  CPU time while silent", cpu_ms(idle) - cpu_ms(brief), 0, "ms");
  line("  peak resident memory of the adapter", orv_peak, kPeakLimitMib, "MiB");
  if (orv_peak > kPeakLimitMib) std::printf("  above the limit of %.1f MiB\n", kPeakLimitMib);

  // Start-up with the engine's name remembered: "usi" answered from the file.
  // The limits: the minimal process, and for "isready" the engine's own start.
  std::vector<double> usi, ready, nothing, engine;
  for (int i = 0; i < 50; ++i) {
    auto s0 = Clock::now();
    Process p = spawn(orv_dir, "orv_molvara");
    say(p, "usi");
    hear_until(p, "usiok");
    auto s1 = Clock::now();
    say(p, "isready");
    hear_until(p, "readyok");
    auto s2 = Clock::now();
    say(p, "quit");
    finish(p);
    usi.push_back(micros(s1 - s0));
    ready.push_back(micros(s2 - s1));
    auto n0 = Clock::now();
    Process t = spawn(orv_dir, "minimal");
    finish(t);
    auto e0 = Clock::now();
    nothing.push_back(micros(e0 - n0));
    Process e = spawn(orv_dir, "molvara");  // the bench engine ends at once without input
    finish(e);
    engine.push_back(micros(Clock::now() - e0));
  }
  std::printf("Start-up with the engine's name remembered, median of 50:\n");
  const double usi_median = spread(usi).median, nothing_median = spread(nothing).median;
  line("  process start to usiok", usi_median, nothing_median, "us");
  if (usi_median > kStartUpGoal * nothing_median) {
    std::printf("  above the goal of %.1f times the minimal process\n", kStartUpGoal);
  }
  line("  isready to readyok (starts the engine)", spread(ready).median, spread(engine).median,
       "us");
  return orv_peak > kPeakLimitMib ? 1 : 0;
}
