#include "front/search_commands.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "notation/position_file.h"
#include "platform/platform.h"

namespace {

// Leading digits as a number; anything else ends it. Held at the largest 32-bit number, so
// the engine reads every figure of "limit time" whole.
std::int32_t leading_number(std::string_view text) {
  constexpr std::int64_t kMax = INT32_MAX;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > kMax) return static_cast<std::int32_t>(kMax);
  }
  return static_cast<std::int32_t>(value);
}

void send_search_command(Adapter& a, Outbox& out) {
  if (a.game.restraint_active && option_on(a.options, kAnotherHand)) {
    send_command(a, out, "move restraint");
  } else if (!a.game.pending_move.empty()) {
    send_command(a, out, a.game.pending_move);
  } else {
    send_command(a, out, "move");
  }
}

// The engine plays every answer on its own board: after one orv did not play, and after any
// answer when the GUI asks again without a new position, the engine is given the GUI's last
// position whole. Where the file cannot be written it is not asked to search a position it
// was not given.
bool engine_has_position(Adapter& a, Outbox& out) {
  GameState& g = a.game;
  if (g.searches.answered) g.engine_behind = true;
  if (!g.engine_behind) return true;
  // With no position from the GUI yet, the game is the one the engine began: the start.
  if (g.position_argument.empty()) g.position_argument = "startpos\n";
  if (!write_position_file_again(a.position, g.position_argument,
                                 option_on(a.options, kFlipHorizontal), a.files.position)) {
    outbox_gui(out, {"info string ", a.files.position, " cannot be written"});
    return false;
  }
  g.engine_behind = false;
  g.searches.answered = false;
  // The file holds the GUI's moves, the single new one too; the board has no engine move.
  g.pending_move.clear();
  g.last_bestmove.clear();
  send_command(a, out, "read orv.csa");
  return true;
}

// Whatever still runs is left; a search the engine still owes, which only a caller that did
// not wait for it can meet here, is forgotten: the engine holds one search at most.
void start_afresh(Adapter& a, Outbox& out) {
  Searches& s = a.game.searches;
  if (search_left(s, platform::tick_ms())) send_command(a, out, "s");
  if (!s.owed) return;
  search_forgotten(s);
  a.game.engine_behind = true;
}

// What the engine's pipes have brought so far cannot answer the search asked now.
void ask_search(Adapter& a, bool infinite) {
  search_asked(a.game.searches, infinite, a.link.out_reads.load(), a.link.err_reads.load());
}

// The engine did not answer a search it was told to end: orv stops waiting for that answer,
// which may yet come and be played on the engine's board, and a "stop" gets its bestmove.
void forget_unanswered(Adapter& a, Outbox& out) {
  Searches& s = a.game.searches;
  const bool stopped = s.search.stopped;
  search_forgotten(s);
  a.game.engine_behind = true;
  outbox_gui(out, {"info string engine ", a.link.engine_file, " did not answer its stop"});
  if (stopped) outbox_gui(out, {"bestmove resign"});
}

// A timed search after an analysis: "go infinite" turned the book on, which BookNum had
// turned off for this game.
void book_off_again(Adapter& a, Outbox& out) {
  GameState& g = a.game;
  if (!g.book_reopened) return;
  g.book_reopened = false;
  if (!g.book_disabled && a.position.move_number < g.book_limit) return;
  send_command(a, out, "book off");
  g.book_disabled = true;
}

}  // namespace

std::string_view extract_time_field(std::string_view text, std::string_view keyword) {
  std::size_t at = text.find(keyword);
  if (at == std::string_view::npos) return "0";
  const std::size_t start = at + keyword.size();
  std::size_t end = text.find(' ', start);
  if (end == std::string_view::npos) end = text.find('\r', start);
  if (end == std::string_view::npos) end = text.find('\n', start);
  if (end == std::string_view::npos) end = text.size();
  if (end < start + 4) return "0";
  return text.substr(start, end - start - 3);
}

bool asks_search(std::string_view text) {
  UsiLine line{text, 0};
  if (match_usi(line, "go mate") || match_usi(line, "go ponder")) return false;
  return match_usi(line, "go");
}

void make_engine_free(Adapter& a, std::unique_lock<std::mutex>& hold) {
  Searches& s = a.game.searches;
  if (!engine_busy(s)) return;
  if (search_left(s, platform::tick_ms())) {
    send_command(a, a.out, "s");
    take_engine_turn(a.out, a.link);
    hold.unlock();
    deliver(a.out, a.link);
    hold.lock();
  }
  const std::uint32_t left = wait_left(s, platform::tick_ms(), kStopAnswerMs);
  a.searches_changed.wait_for(hold, std::chrono::milliseconds(left),
                              [&] { return !engine_busy(s); });
  if (s.owed) forget_unanswered(a, a.out);
}

void watch_unanswered_stops(Adapter& a) {
  Outbox out;
  std::unique_lock<std::mutex> hold(a.state_lock);
  for (;;) {
    const Searches& s = a.game.searches;
    if (!s.owed || !s.search.ended) {
      a.searches_changed.wait(hold);
      continue;
    }
    const std::uint32_t left = wait_left(s, platform::tick_ms(), kStopAnswerMs);
    if (left > 0) {
      a.searches_changed.wait_for(hold, std::chrono::milliseconds(left));
      continue;
    }
    forget_unanswered(a, out);
    a.searches_changed.notify_all();
    hold.unlock();
    deliver(out, a.link);
    hold.lock();
  }
}

void handle_go(Adapter& a, UsiLine& line, Outbox& out) {
  a.game.search_start_tick = platform::tick_ms();
  start_afresh(a, out);
  if (!engine_has_position(a, out)) {
    outbox_gui(out, {"bestmove resign"});
    return;
  }
  book_off_again(a, out);
  if (!a.game.time_limit_sent) {
    std::string_view times = rest_of(line);
    std::string command;
    if (a.engine.is_v1) {
      command = "limit time ";
      command.append(extract_time_field(times, "byoyomi "));
    } else {
      const char* own = a.position.side_to_move == 0 ? "btime " : "wtime ";
      const std::int32_t minutes = leading_number(extract_time_field(times, own)) / 60;
      const std::int32_t byoyomi = leading_number(extract_time_field(times, "byoyomi "));
      char text[64];
      std::snprintf(text, sizeof text, "limit time %d %d", minutes, byoyomi);
      command = text;
    }
    send_command(a, out, command);
    a.game.time_limit_sent = true;
  }
  send_search_command(a, out);
  if (a.engine.running) ask_search(a, false);  // else nothing was sent
}

void handle_go_infinite(Adapter& a, Outbox& out) {
  a.game.search_start_tick = platform::tick_ms();
  start_afresh(a, out);
  Searches& searches = a.game.searches;
  searches.analysis = true;
  // With the GUI's clock in force, the next timed "go" of the game sends its limit again:
  // this one leaves the engine on a day's search.
  if (parse_option_value(option_value(a.options, kTimeControl)) == 0) {
    a.game.time_limit_sent = false;
  }
  if (!engine_has_position(a, out)) {
    searches.held = "resign";  // like any answer of an analysis, after "stop"
    return;
  }
  const bool book = a.game.book_limit != 0;
  send_command(a, out, book ? "book on" : "book off");
  a.game.book_reopened = book;
  send_command(a, out, a.engine.is_v1 ? "limit time 86400" : "limit time 0 86400");
  // The GUI's single new move too, as "go" sends it: without it the engine would analyse
  // the position before that move, for the other side.
  send_search_command(a, out);
  if (a.engine.running) ask_search(a, true);
}

void handle_stop(Adapter& a, Outbox& out) {
  std::string held;
  if (search_stopped(a.game.searches, platform::tick_ms(), held)) {
    outbox_gui(out, {"bestmove ", held});
  }
  send_command(a, out, "s");
  a.searches_changed.notify_all();
}

void leave_search(Adapter& a, Outbox& out) {
  if (!search_left(a.game.searches, platform::tick_ms())) return;
  send_command(a, out, "s");
  a.searches_changed.notify_all();
}

void handle_gameover(Adapter& a, Outbox& out) {
  leave_search(a, out);
}
