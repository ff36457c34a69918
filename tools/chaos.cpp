#include "tools/chaos.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

using namespace standin;

namespace {

ChaosClock::time_point in_ms(const Chaos& c, int ms) {
  return c.now() + std::chrono::milliseconds(ms);
}

// Rounded up, so a wait never spins through its last millisecond.
int ms_until(const Chaos& c, ChaosClock::time_point t) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(t - c.now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// How long orv gives the engine to answer an "s" before it asks the next search without that
// answer, or answers a "stop" itself; with room for a loaded machine.
constexpr int kStopAnswerMs = 2000;
constexpr int kStopDueMs = kStopAnswerMs + 1000;
// Rules broken that leave the dialogue as it was told with their dialogue; the rest counted.
constexpr long kBrokenTold = 3;

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool fail(Chaos& c, const std::string& what) {
  if (c.fault.empty()) c.fault = what;
  return false;
}

// Due within ms from now, or from the end of orv's wait for an unanswered "s" when that is
// later: what the GUI sends meanwhile is read after it.
ChaosClock::time_point due_in(const Chaos& c, int ms) {
  return std::max(c.now(), c.waits_until) + std::chrono::milliseconds(ms);
}

// The GUI's line makes orv tell the engine "s" (or may): a new search may wait for its answer.
void s_sent(Chaos& c) {
  c.waits_until = in_ms(c, kStopAnswerMs);
}

void send_isready(Player& p, Chaos& c) {
  p.send("isready");
  c.readies.push_back(due_in(c, kDueMs));
  ++c.readies_sent;
}

// The engine noted a search it left unanswered since the last look.
bool engine_left_unanswered(Player& p, Chaos& c) {
  read_log(p.log);
  const int lines = p.log.unanswered;
  if (lines <= p.unanswered_noted) return false;
  p.unanswered_noted = lines;
  ++c.engine_unanswered;
  return true;
}

// Searches the engine refused or answered late that the GUI never waited on (one left by a new
// "go" or a game's end): orv may wait for each of their answers in turn before it reads the
// GUI's next lines, so what is due then may come 2 s later for each. Counted apart from the
// notes the searches account for, which they may still need.
bool refusals_delay_readies(Player& p, Chaos& c) {
  read_log(p.log);
  const int lines = p.log.stalls;
  if (lines <= p.refusals_waited) return false;
  const auto delay = std::chrono::milliseconds(kStopAnswerMs) * (lines - p.refusals_waited);
  p.refusals_waited = lines;
  for (ChaosClock::time_point& due : c.readies) due += delay;
  return true;
}

// A search the engine itself refused gets its bestmove after the GUI's "stop": the resign orv
// gives for a "stop" the engine does not answer.
bool stop_refused(Player& p, Chaos& c, const Sent& sent, std::string& bestmove) {
  if (!engine_left_unanswered(p, c)) return false;
  p.send("stop");
  ++c.stops;
  const auto due = due_in(c, kStopDueMs);
  s_sent(c);
  return read_until(p, c, due, sent, true, false, bestmove) == Came::kBestmove;
}

// The search is asked: what the engine notes from now on is of it or later.
void send_go(Player& p, const std::string& go) {
  log_go(p.log);
  p.send(go);
}

// A rule broken that leaves the dialogue as it was: told (the first few, with the dialogue
// before it) and counted, and the dialogue goes on, so that a soak counts them all.
void broke(Player& p, Chaos& c, const std::string& what) {
  if (c.broken++ >= kBrokenTold) return;
  std::fprintf(stderr, "rule broken in %s: %s; the last lines:\n%s", p.folder.u8string().c_str(),
               what.c_str(), p.dialogue().c_str());
}

// An engine started afresh: what is due comes that much later.
void restarted(Chaos& c) {
  ++c.restarts;
  c.restart_delay += std::chrono::milliseconds(kRestartMs);
}

// A bestmove for the search asked: legal in the position sent, and traced to the engine's own
// answer to that search where the engine notes them (not with FlipHorizontal, whose engine
// writes its moves mirrored).
bool bestmove_holds(Player& p, Chaos& c, const Sent& sent, const std::string& bestmove) {
  ++c.bestmoves;
  if (bestmove == "resign") ++c.resigns;
  if (!bestmove_is_legal(sent.now, bestmove)) {
    return fail(c, "bestmove " + bestmove + " is illegal in the position sent");
  }
  if (!c.noted || p.flipped) return true;
  std::string why;
  const Trace trace = trace_bestmove(p.log, sent.now, bestmove, why);
  ++c.traces[static_cast<int>(trace)];
  if (trace == Trace::kOwn || trace == Trace::kResign || trace == Trace::kExplained ||
      trace == Trace::kCopy) {
    return true;
  }
  broke(p, c, "bestmove " + bestmove + ": " + why);
  return true;
}

// Options a GUI may send at any time without changing the game.
void send_option(Player& p, Chaos& c) {
  static const char* const kHarmless[] = {"setoption name USI_Hash value 256",
                                          "setoption name Nodes value 3000",
                                          "setoption name Depth value 3"};
  p.send(kHarmless[c.random() % 3]);
  ++c.options_sent;
}

// Now and then, a GUI line that does not touch the search.
void maybe_interrupt(Player& p, Chaos& c) {
  if (c.chance(15)) send_isready(p, c);
  if (c.chance(10)) send_option(p, c);
}

// The "readyok"s still due, with no bestmove among them.
bool drain_readies(Player& p, Chaos& c, const Sent& sent) {
  std::string bestmove;
  while (!c.readies.empty()) {
    if (read_until(p, c, c.readies.front(), sent, false, true, bestmove) != Came::kReadyok) {
      return fail(c, c.fault.empty() ? "no readyok within the bound" : c.fault);
    }
  }
  return c.fault.empty();
}

// The bestmove due after "stop", even when the engine itself leaves the search unanswered.
bool bestmove_after_stop(Player& p, Chaos& c, const Sent& sent, std::string& bestmove) {
  ++c.stops;
  const auto due = due_in(c, kStopDueMs);
  s_sent(c);
  if (read_until(p, c, due, sent, true, false, bestmove) == Came::kBestmove) return true;
  return fail(c, c.fault.empty() ? "no bestmove within the bound after stop" : c.fault);
}

// The search asked again with no new position: its bestmove too is legal in the position.
bool search_again(Player& p, Chaos& c, const Sent& sent, const std::string& go, int think_ms) {
  ++c.repeats;
  send_go(p, go);
  std::string bestmove;
  if (go == "go infinite") {
    std::this_thread::sleep_for(std::chrono::milliseconds(c.between(0, think_ms)));
    p.send("stop");
    return bestmove_after_stop(p, c, sent, bestmove);
  }
  if (read_until(p, c, due_in(c, think_ms + kDueMs), sent, true, false, bestmove) ==
      Came::kBestmove) {
    return true;
  }
  if (c.fault.empty() && stop_refused(p, c, sent, bestmove)) return true;
  return fail(c, c.fault.empty() ? "no bestmove for a search asked again" : c.fault);
}

}  // namespace

bool variation_is_legal(const std::string& line, Board board, std::string& bad, long& moves) {
  const std::size_t pv = line.rfind(" pv ");
  if (line.rfind("info ", 0) != 0 || pv == std::string::npos) return true;
  // A candidate's percentage is free text: its move follows the last " pv ". A score line's
  // tail after "[" may hold anything: its variation follows the first.
  std::size_t at = line.rfind("info nodes ", 0) == 0 ? pv + 4 : line.find(" pv ") + 4;
  while (at < line.size()) {
    std::size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    const std::string token = line.substr(at, end - at);
    at = end + 1;
    if (token.empty()) continue;
    if (token[0] == '[') break;
    Move m;
    if (!move_from_usi(board, token, m)) {
      bad = token;
      return false;
    }
    Undo u;
    make_move(board, m, u);
    ++moves;
  }
  return true;
}

bool bestmove_is_legal(Board position, const std::string& bestmove) {
  Move m;
  return bestmove == "resign" || move_from_usi(position, bestmove, m);
}

Came read_until(Player& p, Chaos& c, ChaosClock::time_point deadline, const Sent& sent,
                bool bestmove_allowed, bool readyok_wanted, std::string& bestmove) {
  std::string line;
  for (;;) {
    if (!c.readies.empty() && c.now() > c.readies.front() && !refusals_delay_readies(p, c)) {
      fail(c, "readyok later than the bound");
      return Came::kNothing;
    }
    const int left = ms_until(c, deadline);
    if (left == 0) return Came::kNothing;
    if (!p.next(line, left)) {
      if (p.gone()) fail(c, "the adapter went away");
      return Came::kNothing;
    }
    if (line == "readyok") {
      if (c.readies.empty()) {
        fail(c, "a readyok nobody asked for");
        return Came::kNothing;
      }
      c.readies.pop_front();
      if (readyok_wanted && c.readies.empty()) return Came::kReadyok;
      continue;
    }
    if (line.rfind("bestmove ", 0) == 0) {
      bestmove = line.substr(9);
      if (!bestmove_allowed) {
        fail(c, "a bestmove nobody waits for: " + line);
        return Came::kNothing;
      }
      return bestmove_holds(p, c, sent, bestmove) ? Came::kBestmove : Came::kNothing;
    }
    if (line.rfind("info string engine ", 0) == 0 && ends_with(line, " is started again")) {
      restarted(c);
    }
    std::string bad;
    long moves = 0;
    if (variation_is_legal(line, sent.now, bad, moves)) {
      c.variation_moves += moves;
      if (moves > 0) ++c.variations;
    } else if (!variation_is_legal(line, sent.before, bad, moves)) {
      ++c.bad_variations;
      broke(p, c, "variation move " + bad + " in \"" + line + "\" is illegal in the position sent");
    }
  }
}

bool barrier(Player& p, Chaos& c, const Sent& sent) {
  send_isready(p, c);
  return drain_readies(p, c, sent);
}

bool chaos_analysis(Player& p, Chaos& c, const Sent& sent, int think_ms, std::string& bestmove) {
  // A player stepping quickly through a game: analyses stopped as soon as begun.
  for (int burst = c.chance(20) ? c.between(1, 3) : 0; burst > 0; --burst) {
    ++c.analyses;
    p.send(sent.command);
    send_go(p, "go infinite");
    p.send("stop");
    if (!bestmove_after_stop(p, c, sent, bestmove)) return false;
  }
  ++c.analyses;
  p.send(sent.command);
  send_go(p, "go infinite");
  if (c.chance(10)) {  // twice: the first is left, the second answers the "stop"
    send_go(p, "go infinite");
    s_sent(c);
  }
  const auto stop_at = in_ms(c, c.on ? c.between(0, think_ms) : think_ms);
  while (c.now() < stop_at) {
    const auto next = std::min(stop_at, in_ms(c, c.between(0, think_ms / 2 + 1)));
    if (read_until(p, c, next, sent, false, false, bestmove) != Came::kNothing) break;
    if (!c.fault.empty()) return false;
    maybe_interrupt(p, c);
  }
  if (!c.fault.empty()) return false;
  p.send("stop");
  if (!bestmove_after_stop(p, c, sent, bestmove)) return false;
  if (c.chance(10) && !search_again(p, c, sent, "go infinite", think_ms)) return false;
  return drain_readies(p, c, sent);
}

bool chaos_timed_search(Player& p, Chaos& c, const Sent& sent, int byoyomi_ms,
                        std::string& bestmove) {
  ++c.searches;
  p.send(sent.command);
  if (c.chance(5)) {  // an analysis the GUI never stops: the timed search replaces it
    ++c.analyses;
    send_go(p, "go infinite");
    s_sent(c);
  }
  const std::string go = "go btime 0 wtime 0 byoyomi " + std::to_string(byoyomi_ms);
  send_go(p, go);
  auto due = due_in(c, byoyomi_ms + kDueMs);
  bool stopped = false;
  ChaosClock::time_point stop_due;
  const auto send_stop = [&] {
    p.send("stop");
    ++c.stops;
    stop_due = due_in(c, kStopDueMs);
    s_sent(c);
    stopped = true;
  };
  for (;;) {
    const auto next = stopped ? due : std::min(due, in_ms(c, c.between(0, byoyomi_ms / 2 + 1)));
    const Came came = read_until(p, c, next, sent, true, false, bestmove);
    if (came == Came::kBestmove) break;
    if (!c.fault.empty()) return false;
    // A search the engine refused is ended by the GUI's "stop", as a GUI's user ends one that
    // shows no sign of life; its bestmove then comes within the bound of a "stop".
    if (!stopped && engine_left_unanswered(p, c)) {
      send_stop();
      due = stop_due;
      continue;
    }
    if (c.now() >= due) return fail(c, "no bestmove within the byoyomi and the bound");
    maybe_interrupt(p, c);
    if (!stopped && c.chance(10)) {  // the GUI's "move now"
      send_stop();
      due = std::min(due, stop_due);
    }
  }
  if (c.chance(8) && !search_again(p, c, sent, go, byoyomi_ms)) return false;
  if (c.chance(8)) {  // "stop" when nothing runs: no bestmove may come of it
    ++c.idle_stops;
    p.send("stop");
  }
  return drain_readies(p, c, sent);
}

bool chaos_leave_search(Player& p, Chaos& c, const Sent& sent, int byoyomi_ms) {
  ++c.left;
  p.send(sent.command);
  send_go(p, "go btime 0 wtime 0 byoyomi " + std::to_string(byoyomi_ms));
  std::string bestmove;
  bool answered = read_until(p, c, in_ms(c, c.between(0, byoyomi_ms / 2)), sent, true, false,
                             bestmove) == Came::kBestmove;
  if (!c.fault.empty()) return false;
  if (!answered && c.chance(50)) {  // the GUI stops the search itself first
    p.send("stop");
    if (!bestmove_after_stop(p, c, sent, bestmove)) return false;
    answered = true;
  }
  p.send("gameover lose");
  s_sent(c);
  // A bestmove already on its way may still come, once; after the barrier none may.
  send_isready(p, c);
  while (!c.readies.empty()) {
    const Came came = read_until(p, c, c.readies.front(), sent, !answered, true, bestmove);
    if (came == Came::kBestmove) {
      answered = true;
      continue;
    }
    if (came != Came::kReadyok)
      return fail(c, c.fault.empty() ? "no readyok after gameover" : c.fault);
  }
  return c.fault.empty();
}

long peak_memory_kib(const Player& p) {
  std::ifstream status("/proc/" + std::to_string(p.child.process) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

std::string broken_summary(const Chaos& c) {
  const auto count = [&](Trace t) { return std::to_string(c.traces[static_cast<int>(t)]); };
  return std::to_string(c.bestmoves) + " bestmove(s) (" + std::to_string(c.resigns) +
         " resign) checked: " + count(Trace::kOwn) + " the engine's own answer, " +
         count(Trace::kResign) + " its resign or complaint, " + count(Trace::kExplained) +
         " resign(s) a surprise explains, " + count(Trace::kCopy) +
         " a copy of the answer to the search before of the same position; rules broken: " +
         count(Trace::kNoSearch) + " a line for no search, " + count(Trace::kSameBoard) +
         " an answer to an earlier search of the same position, " + count(Trace::kOtherBoard) +
         " an answer to a search of another position, " + count(Trace::kUnexplained) +
         " resign(s) nothing explains, " + count(Trace::kUnknown) + " no line of the engine";
}

std::string chaos_summary(const Chaos& c) {
  return std::to_string(c.searches) + " timed search(es), " + std::to_string(c.analyses) +
         " analysis(es), " + std::to_string(c.stops) + " stop(s), " + std::to_string(c.left) +
         " search(es) left, " + std::to_string(c.readies_sent) + " isready, " +
         std::to_string(c.options_sent) + " setoption, " + std::to_string(c.repeats) +
         " search(es) asked again, " + std::to_string(c.idle_stops) + " stop(s) of nothing, " +
         std::to_string(c.engine_unanswered) + " left unanswered by the engine, " +
         std::to_string(c.restarts) + " engine(s) started again, " + std::to_string(c.variations) +
         " variation(s) of " + std::to_string(c.variation_moves) + " move(s) checked (" +
         std::to_string(c.bad_variations) + " of them illegal in the position sent)" +
         (c.noted ? "; " + broken_summary(c) : "");
}
