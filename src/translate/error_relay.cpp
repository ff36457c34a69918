#include "translate/error_relay.h"

#include <algorithm>

#include "engine/engine_text.h"
#include "translate/engine_lines.h"

namespace {

// The relay shows at most one line per pause; beyond the backlog the oldest waiting lines
// are dropped and counted (the engine's latest words matter most), so the engine never
// waits on its standard error and a flood takes no more memory than the backlog.
constexpr std::uint32_t kRelayPauseMs = 200;
constexpr std::size_t kBacklogBytes = 64 * 1024;
// Enough of a piece's end to hold all of a complaint but its last character.
constexpr std::size_t kComplaintTail = sizeof "move after a game was concluded" - 2;

void show(const ErrorRelay::Line& line, Outbox& out) {
  if (line.dropped_before > 0) {
    outbox_gui_format(out, "info string %u lines of the engine's standard error were dropped",
                      line.dropped_before);
  }
  std::string cleaned;
  const std::string_view text = clean_engine_text(line.text, true, true, cleaned);
  if (!text.empty()) outbox_gui(out, {"info string ", text});
}

// Drops the oldest waiting lines until size more bytes fit; the count goes with the line
// that then comes first, or, with none left, with the next one kept.
void make_room(ErrorRelay& r, std::size_t size) {
  unsigned dropped = 0;
  while (!r.waiting.empty() && r.waiting_bytes + size > kBacklogBytes) {
    dropped += r.waiting.front().dropped_before + 1;
    r.waiting_bytes -= r.waiting.front().text.size();
    r.waiting.pop_front();
  }
  if (r.waiting.empty()) {
    r.dropped += dropped;
  } else {
    r.waiting.front().dropped_before += dropped;
  }
}

void keep(ErrorRelay& r, std::string_view text) {
  make_room(r, text.size());
  r.waiting.push_back({std::string(text), r.dropped});
  r.dropped = 0;
  r.waiting_bytes += text.size();
}

// A complaint while the engine owes a search is that search's answer: no move line will
// follow for it.
bool answer_complaint(State& s, std::string_view text, std::string_view before) {
  const bool across =
      !before.empty() &&
      is_engine_complaint(std::string(before).append(text.substr(0, kComplaintTail)));
  if (!across && !is_engine_complaint(text)) return false;
  const SearchEnd end = search_answered(s.game.searches);
  if (!end.asked) return false;  // relayed as any other line
  show({std::string(text), 0}, s.out);
  if (!answer_unused(s, end, text)) answer_search(s, end, "resign");
  return true;
}

}  // namespace

bool is_engine_complaint(std::string_view line) {
  return line.find("move after a game was concluded") != std::string_view::npos ||
         line.find("No legal moves to search") != std::string_view::npos;
}

void error_line(State& s, ErrorRelay& r, std::string_view text, bool ends_line) {
  const std::string before = std::move(r.tail);
  r.tail.clear();
  if (!ends_line) r.tail.assign(text.substr(text.size() - std::min(text.size(), kComplaintTail)));
  if (text.empty() || answer_complaint(s, text, before)) return;
  keep(r, text);
}

bool relay_waits(const ErrorRelay& r, std::uint32_t& due) {
  due = r.next_tick;
  return !r.waiting.empty();
}

void relay_next(ErrorRelay& r, Outbox& out, std::uint32_t now) {
  if (r.waiting.empty() || static_cast<std::int32_t>(now - r.next_tick) < 0) return;
  show(r.waiting.front(), out);
  r.waiting_bytes -= r.waiting.front().text.size();
  r.waiting.pop_front();
  r.next_tick = now + kRelayPauseMs;
}

void relay_all(ErrorRelay& r, Outbox& out) {
  for (const ErrorRelay::Line& line : r.waiting) show(line, out);
  if (r.dropped > 0) show({std::string(), r.dropped}, out);
  r.waiting.clear();
  r.waiting_bytes = 0;
  r.dropped = 0;
}
