#include <chrono>

#include "platform/platform.h"
#include "translate/engine_lines.h"
#include "translate/engine_threads.h"

namespace {

using Clock = std::chrono::steady_clock;

// The relay shows at most one line per pause; beyond the backlog the oldest waiting lines
// are dropped and counted (the engine's latest words matter most), so the engine never
// waits on its standard error.
constexpr auto kRelayPause = std::chrono::milliseconds(200);
constexpr std::size_t kBacklogBytes = 64 * 1024;
// How long the engine's last words are waited for once its output has ended.
constexpr auto kLastWordsWait = std::chrono::milliseconds(500);

void compose(EngineThreadContext& c, const ErrorRelay::Line& line, Outbox& out) {
  if (line.dropped_before > 0) {
    outbox_gui_format(out, "info string %u lines of the engine's standard error were dropped",
                      line.dropped_before);
  }
  if (!line.complaint) return relay_error_line(line.text, nullptr, out);
  std::lock_guard<std::mutex> hold(c.state_lock);  // it ends the search under way
  relay_error_line(line.text, &c.game, out);
}

// The next line to show: a complaint at once, ahead of the others; else the oldest, when
// its turn has come. False when none is to be shown now.
bool take_next(ErrorRelay& r, Clock::time_point turn, ErrorRelay::Line& line) {
  for (auto it = r.waiting.begin(); it != r.waiting.end(); ++it) {
    if (it->complaint) {
      line = std::move(*it);
      r.waiting.erase(it);
      return true;
    }
  }
  if (r.waiting.empty() || Clock::now() < turn) return false;
  line = std::move(r.waiting.front());
  r.waiting.pop_front();
  r.waiting_bytes -= line.text.size();
  return true;
}

// Drops the oldest waiting lines (never a complaint) until size more bytes fit; the count
// goes with the line that then comes first, or, with none left, with the next one kept.
void make_room(ErrorRelay& r, std::size_t size) {
  unsigned dropped = 0;
  auto it = r.waiting.begin();
  while (it != r.waiting.end() && r.waiting_bytes + size > kBacklogBytes) {
    if (it->complaint) {
      ++it;
      continue;
    }
    dropped += it->dropped_before + 1;
    r.waiting_bytes -= it->text.size();
    it = r.waiting.erase(it);
  }
  while (it != r.waiting.end() && it->complaint) ++it;
  if (it != r.waiting.end()) {
    it->dropped_before += dropped;
  } else {
    r.dropped += dropped;
  }
}

}  // namespace

void engine_err_thread(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  ErrorRelay& r = c.errors;
  for (;;) {
    LineRead line = read_line(c.link.err_reader);
    std::lock_guard<std::mutex> hold(r.lock);
    if (!line.ok) {
      r.ended = true;
      r.changed.notify_all();
      return;
    }
    if (line.text.empty()) continue;
    const bool complaint = is_engine_complaint(line.text);
    if (!complaint) make_room(r, line.text.size());
    r.waiting.push_back({std::string(line.text), complaint, complaint ? 0 : r.dropped});
    if (!complaint) {
      r.dropped = 0;
      r.waiting_bytes += line.text.size();
    }
    r.changed.notify_all();
  }
}

void engine_err_relay_thread(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  ErrorRelay& r = c.errors;
  Outbox out;
  Clock::time_point turn = Clock::now();
  std::unique_lock<std::mutex> hold(r.lock);
  for (;;) {
    if (r.finished || (r.ended && r.waiting.empty())) return;
    ErrorRelay::Line line;
    if (!take_next(r, turn, line)) {
      if (r.waiting.empty()) {
        r.changed.wait(hold);
      } else {
        r.changed.wait_until(hold, turn);
      }
      continue;
    }
    r.showing = true;
    hold.unlock();
    compose(c, line, out);
    deliver(out, c.link);
    if (!line.complaint) turn = Clock::now() + kRelayPause;
    hold.lock();
    r.showing = false;
    r.changed.notify_all();
  }
}

void finish_error_relay(EngineThreadContext& c) {
  ErrorRelay& r = c.errors;
  if (c.link.child.from_err == platform::no_handle) return;  // no engine was started
  Outbox out;
  {
    std::unique_lock<std::mutex> hold(r.lock);
    r.changed.wait_for(hold, kLastWordsWait, [&] { return r.ended; });
    r.changed.wait_for(hold, kLastWordsWait, [&] { return !r.showing; });
    r.finished = true;
    for (const ErrorRelay::Line& line : r.waiting) compose(c, line, out);
    r.waiting.clear();
    if (r.dropped > 0) compose(c, {std::string(), false, r.dropped}, out);
    r.dropped = 0;
    r.changed.notify_all();
  }
  deliver(out, c.link);
}
