#include "front/search_commands.h"

#include <cstdio>

#include "common/trace.h"
#include "notation/position_file.h"

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

void send_search_command(State& s) {
  if (s.game.restraint_active && option_on(s.options, kAnotherHand)) {
    send_command(s, "move restraint");
  } else if (!s.game.pending_move.empty()) {
    send_command(s, s.game.pending_move);
  } else {
    send_command(s, "move");
  }
}

// The engine plays every answer on its own board: after one orv did not play, and after any
// answer when the GUI asks again without a new position, the engine is given the GUI's last
// position whole. Where the file cannot be written it is not asked to search a position it
// was not given.
bool engine_has_position(State& s) {
  GameState& g = s.game;
  if (g.searches.answered) g.engine_behind = true;
  if (!g.engine_behind) return true;
  // With no position from the GUI yet, the game is the one the engine began: the start.
  if (g.position_argument.empty()) g.position_argument = "startpos\n";
  if (!write_position_file_again(s.position, g.position_argument,
                                 option_on(s.options, kFlipHorizontal), s.files.position)) {
    outbox_gui(s.out, {"info string ", s.files.position, " cannot be written"});
    return false;
  }
  g.engine_behind = false;
  g.searches.answered = false;
  // The file holds the GUI's moves, the single new one too; the board has no engine move.
  g.pending_move.clear();
  g.last_bestmove.clear();
  send_command(s, "read orv.csa");
  return true;
}

// A timed search after an analysis: "go infinite" turned the book on, which this game may
// have turned off (or BookNum may have reached).
void book_off_again(State& s) {
  GameState& g = s.game;
  if (g.book != Book::kAnalysis && g.book != Book::kAnalysisOff) return;
  if (g.book == Book::kAnalysis && s.position.move_number < g.book_limit) {
    g.book = Book::kOn;
    return;
  }
  send_command(s, "book off");
  g.book = Book::kOff;
}

void send_time_limit(State& s, UsiLine& line) {
  std::string_view times = rest_of(line);
  std::string command;
  if (s.engine.version == 1) {
    command = "limit time ";
    command.append(extract_time_field(times, "byoyomi "));
  } else {
    const char* own = s.position.side_to_move == 0 ? "btime " : "wtime ";
    const std::int32_t minutes = leading_number(extract_time_field(times, own)) / 60;
    const std::int32_t byoyomi = leading_number(extract_time_field(times, "byoyomi "));
    char text[64];
    std::snprintf(text, sizeof text, "limit time %d %d", minutes, byoyomi);
    command = text;
  }
  send_command(s, command);
  s.game.time_limit_sent = true;
}

std::uint32_t allowed_for(const Searches& searches) {
  const bool doubted =
      searches.phase == SearchPhase::kDoubted || searches.phase == SearchPhase::kCopied;
  return doubted ? kDoubtedAnswerMs : kStopAnswerMs;
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

EngineFree engine_free_for_search(State& s, std::uint32_t now) {
  Searches& searches = s.game.searches;
  if (!engine_owes(searches)) return EngineFree::kYes;
  if (search_left(searches, now)) send_command(s, "s");
  if (searches.phase == SearchPhase::kOverdue) return EngineFree::kStartAgain;
  if (wait_left(searches, now, allowed_for(searches)) > 0) return EngineFree::kWait;
  stop_answer_overdue(s);
  return engine_owes(searches) ? EngineFree::kStartAgain : EngineFree::kYes;
}

std::uint32_t stop_answer_due(const State& s) {
  const Searches& searches = s.game.searches;
  return answer_awaited(searches) ? searches.end_tick + allowed_for(searches) : 0;
}

void stop_answer_overdue(State& s) {
  const SearchPhase phase = s.game.searches.phase;
  // Nothing came after a doubted answer or a repeat taken. The GUI has its bestmove, but were
  // that line written for the search before, the engine's own answer may still come, and
  // would answer the next search: it is started afresh before that.
  if (phase == SearchPhase::kDoubted || phase == SearchPhase::kTaken) {
    search_overdue(s.game.searches);
    return;
  }
  const bool stopped = search_overdue(s.game.searches);
  outbox_gui(s.out, {"info string engine ", s.engine.file, " did not answer its stop"});
  if (stopped) outbox_gui(s.out, {"bestmove resign"});
}

void handle_go(State& s, UsiLine& line) {
  s.game.search_start_tick = platform::tick_ms();
  leave_search(s);  // an analysis that ended by itself ends here, its bestmove dropped
  if (!engine_has_position(s)) {
    outbox_gui(s.out, {"bestmove resign"});
    return;
  }
  book_off_again(s);
  if (!s.game.time_limit_sent) send_time_limit(s, line);
  send_search_command(s);
  if (s.engine.running) search_asked(s.game.searches, false);  // else nothing was sent
}

void handle_go_infinite(State& s) {
  s.game.search_start_tick = platform::tick_ms();
  leave_search(s);
  Searches& searches = s.game.searches;
  searches.analysis = true;
  // With the GUI's clock in force, the next timed "go" of the game sends its limit again:
  // this one leaves the engine on a day's search.
  if (parse_option_value(option_value(s.options, kTimeControl)) == 0) {
    s.game.time_limit_sent = false;
  }
  if (!engine_has_position(s)) {
    searches.held = "resign";  // like any answer of an analysis, after "stop"
    return;
  }
  const bool book = s.game.book_limit != 0;
  send_command(s, book ? "book on" : "book off");
  const bool game_has_it = s.game.book == Book::kOn || s.game.book == Book::kAnalysis;
  if (book) {
    s.game.book = game_has_it ? Book::kAnalysis : Book::kAnalysisOff;
  } else {
    s.game.book = game_has_it ? Book::kOn : Book::kOff;
  }
  send_command(s, s.engine.version == 1 ? "limit time 86400" : "limit time 0 86400");
  // The GUI's single new move too, as "go" sends it: without it the engine would analyse
  // the position before that move, for the other side.
  send_search_command(s);
  if (s.engine.running) search_asked(searches, true);
}

void handle_stop(State& s) {
  std::string held;
  if (search_stopped(s.game.searches, platform::tick_ms(), held)) {
    outbox_gui(s.out, {"bestmove ", held});
  }
  send_command(s, "s");
}

void leave_search(State& s) {
  if (search_left(s.game.searches, platform::tick_ms())) send_command(s, "s");
}
