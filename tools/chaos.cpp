#include "tools/chaos.h"

using namespace standin;

namespace {

ChaosClock::time_point in_ms(int ms) {
  return ChaosClock::now() + std::chrono::milliseconds(ms);
}

// Rounded up, so a wait never spins through its last millisecond.
int ms_until(ChaosClock::time_point t) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(t - ChaosClock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool fail(Chaos& c, const std::string& what) {
  if (c.fault.empty()) c.fault = what;
  return false;
}

void send_isready(Player& p, Chaos& c) {
  p.send("isready");
  c.readies.push_back(ChaosClock::now());
  ++c.readies_sent;
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
    const auto due = c.readies.front() + std::chrono::milliseconds(kDueMs);
    if (read_until(p, c, due, sent, false, true, bestmove) != Came::kReadyok) {
      return fail(c, c.fault.empty() ? "no readyok within the bound" : c.fault);
    }
  }
  return c.fault.empty();
}

// The bestmove due after "stop".
bool bestmove_after_stop(Player& p, Chaos& c, const Sent& sent, std::string& bestmove) {
  ++c.stops;
  if (read_until(p, c, in_ms(kDueMs), sent, true, false, bestmove) != Came::kBestmove) {
    return fail(c, c.fault.empty() ? "no bestmove within the bound after stop" : c.fault);
  }
  return true;
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
    if (!c.readies.empty() &&
        ChaosClock::now() - c.readies.front() > std::chrono::milliseconds(kDueMs)) {
      fail(c, "readyok later than the bound");
      return Came::kNothing;
    }
    const int left = ms_until(deadline);
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
      if (!bestmove_is_legal(sent.now, bestmove)) {
        fail(c, "bestmove " + bestmove + " is illegal in the position sent");
        return Came::kNothing;
      }
      return Came::kBestmove;
    }
    std::string bad;
    long moves = 0;
    if (variation_is_legal(line, sent.now, bad, moves)) {
      c.variation_moves += moves;
      if (moves > 0) ++c.variations;
    } else if (!variation_is_legal(line, sent.before, bad, moves)) {
      fail(c, "variation move " + bad + " in \"" + line + "\" is illegal in the position sent");
      return Came::kNothing;
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
    p.send("go infinite");
    p.send("stop");
    if (!bestmove_after_stop(p, c, sent, bestmove)) return false;
  }
  ++c.analyses;
  p.send(sent.command);
  p.send("go infinite");
  const auto stop_at = in_ms(c.on ? c.between(0, think_ms) : think_ms);
  while (ChaosClock::now() < stop_at) {
    const auto next = std::min(stop_at, in_ms(c.between(0, think_ms / 2 + 1)));
    if (read_until(p, c, next, sent, false, false, bestmove) != Came::kNothing) break;
    if (!c.fault.empty()) return false;
    maybe_interrupt(p, c);
  }
  if (!c.fault.empty()) return false;
  p.send("stop");
  return bestmove_after_stop(p, c, sent, bestmove) && drain_readies(p, c, sent);
}

bool chaos_timed_search(Player& p, Chaos& c, const Sent& sent, int byoyomi_ms,
                        std::string& bestmove) {
  ++c.searches;
  p.send(sent.command);
  p.send("go btime 0 wtime 0 byoyomi " + std::to_string(byoyomi_ms));
  auto due = in_ms(byoyomi_ms + kDueMs);
  bool stopped = false;
  for (;;) {
    const auto next = stopped ? due : std::min(due, in_ms(c.between(0, byoyomi_ms / 2 + 1)));
    const Came came = read_until(p, c, next, sent, true, false, bestmove);
    if (came == Came::kBestmove) break;
    if (!c.fault.empty()) return false;
    if (ChaosClock::now() >= due) return fail(c, "no bestmove within the byoyomi and the bound");
    maybe_interrupt(p, c);
    if (!stopped && c.chance(10)) {  // the GUI's "move now"
      p.send("stop");
      ++c.stops;
      stopped = true;
      due = std::min(due, in_ms(kDueMs));
    }
  }
  return drain_readies(p, c, sent);
}

bool chaos_leave_search(Player& p, Chaos& c, const Sent& sent, int byoyomi_ms) {
  ++c.left;
  p.send(sent.command);
  p.send("go btime 0 wtime 0 byoyomi " + std::to_string(byoyomi_ms));
  std::string bestmove;
  bool answered = read_until(p, c, in_ms(c.between(0, byoyomi_ms / 2)), sent, true, false,
                             bestmove) == Came::kBestmove;
  if (!c.fault.empty()) return false;
  if (!answered && c.chance(50)) {  // the GUI stops the search itself first
    p.send("stop");
    if (!bestmove_after_stop(p, c, sent, bestmove)) return false;
    answered = true;
  }
  p.send("gameover lose");
  // A bestmove already on its way may still come, once; after the barrier none may.
  send_isready(p, c);
  while (!c.readies.empty()) {
    const auto due = c.readies.front() + std::chrono::milliseconds(kDueMs);
    const Came came = read_until(p, c, due, sent, !answered, true, bestmove);
    if (came == Came::kBestmove) {
      answered = true;
      continue;
    }
    if (came != Came::kReadyok)
      return fail(c, c.fault.empty() ? "no readyok after gameover" : c.fault);
  }
  return c.fault.empty();
}

std::string chaos_summary(const Chaos& c) {
  return std::to_string(c.searches) + " timed search(es), " + std::to_string(c.analyses) +
         " analysis(es), " + std::to_string(c.stops) + " stop(s), " + std::to_string(c.left) +
         " search(es) left, " + std::to_string(c.readies_sent) + " isready, " +
         std::to_string(c.options_sent) + " setoption, " + std::to_string(c.variations) +
         " variation(s) of " + std::to_string(c.variation_moves) + " move(s) checked";
}
