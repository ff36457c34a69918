#include "front/search_commands.h"

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

// An engine behind the GUI is given the position now; where the file still cannot be
// written it is not asked to search a position it was not given.
bool engine_has_position(Adapter& a, Outbox& out) {
  if (!a.game.engine_behind) return true;
  if (write_position_file_again(a.position, a.game.position_argument,
                                option_on(a.options, kFlipHorizontal), a.files.position)) {
    a.game.engine_behind = false;
    send_command(a, out, "read orv.csa");
    return true;
  }
  outbox_gui(out, {"info string ", a.files.position, " cannot be written"});
  return false;
}

// A new search ends an analysis the GUI never stopped; one still running is stopped, since
// it would never end by itself and the new search would wait behind it.
void end_analysis(Adapter& a, Outbox& out) {
  if (end_analysis(a.game.searches)) send_command(a, out, "s");
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

void handle_go(Adapter& a, UsiLine& line, Outbox& out) {
  a.game.search_start_tick = platform::tick_ms();
  end_analysis(a, out);
  if (!engine_has_position(a, out)) {
    outbox_gui(out, {"bestmove resign"});
    return;
  }
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
  search_asked(a.game.searches, false, a.position);
}

void handle_go_infinite(Adapter& a, Outbox& out) {
  a.game.search_start_tick = platform::tick_ms();
  end_analysis(a, out);
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
  send_command(a, out, a.game.book_limit != 0 ? "book on" : "book off");
  send_command(a, out, a.engine.is_v1 ? "limit time 86400" : "limit time 0 86400");
  // The GUI's single new move too, as "go" sends it: without it the engine would analyse
  // the position before that move, for the other side.
  send_search_command(a, out);
  search_asked(searches, true, a.position);
}

void handle_stop(Adapter& a, Outbox& out) {
  std::string held;
  if (stop_searches(a.game.searches, held)) outbox_gui(out, {"bestmove ", held});
  send_command(a, out, "s");
}

void leave_searches(Adapter& a, Outbox& out) {
  if (leave_searches(a.game.searches)) send_command(a, out, "s");
}

void handle_gameover(Adapter& a, Outbox& out) {
  leave_searches(a, out);
}
