#include <chrono>

#include "platform/platform.h"
#include "translate/engine_lines.h"
#include "translate/engine_threads.h"

namespace {

using Clock = std::chrono::steady_clock;
using Stage = ErrorRelay::Stage;

// The relay shows at most one line per pause; beyond the backlog the oldest waiting lines
// are dropped and counted (the engine's latest words matter most), so the engine never
// waits on its standard error and a flood takes no more memory than the backlog.
constexpr auto kRelayPause = std::chrono::milliseconds(200);
constexpr std::size_t kBacklogBytes = 64 * 1024;
// How long the engine's last words are waited for once its output has ended, and then how
// long the relay is given to write them.
constexpr auto kLastWordsWait = std::chrono::milliseconds(500);
constexpr auto kFlushWait = std::chrono::milliseconds(500);

void compose(const ErrorRelay::Line& line, Outbox& out) {
  if (line.dropped_before > 0) {
    outbox_gui_format(out, "info string %u lines of the engine's standard error were dropped",
                      line.dropped_before);
  }
  relay_error_line(line.text, out);
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
  std::lock_guard<std::mutex> hold(r.lock);
  make_room(r, text.size());
  r.waiting.push_back({std::string(text), r.dropped});
  r.dropped = 0;
  r.waiting_bytes += text.size();
  r.changed.notify_all();
}

// A complaint while the engine owes a search is that search's answer: written at once, and a
// new search waits until the GUI has it. False when the line is to be relayed as any other.
bool answer_complaint(EngineThreadContext& c, std::string_view text, std::uint64_t read,
                      Outbox& out) {
  // Before the banner no search can be owed, and the state lock is held while it is awaited.
  if (!is_engine_complaint(text) || !c.link.banner_read.load()) return false;
  {
    std::lock_guard<std::mutex> hold(c.state_lock);
    if (!complaint_answers(text, c.game, read, out)) return false;
    c.game.searches.answer_on_its_way = true;
  }
  deliver(out, c.link);
  {
    std::lock_guard<std::mutex> hold(c.state_lock);
    c.game.searches.answer_on_its_way = false;
  }
  c.searches_changed.notify_all();
  return true;
}

}  // namespace

void engine_err_thread(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  ErrorRelay& r = c.errors;
  Outbox out;
  for (;;) {
    LineRead line = read_line(c.link.err_reader);
    const std::uint64_t read = c.link.err_reader.reads;
    c.link.err_reads.store(read);
    if (!line.ok) break;
    if (line.text.empty()) continue;
    if (!answer_complaint(c, line.text, read, out)) keep(r, line.text);
  }
  std::lock_guard<std::mutex> hold(r.lock);
  r.ended = true;
  r.changed.notify_all();
}

void engine_err_relay_thread(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  ErrorRelay& r = c.errors;
  Outbox out;
  Clock::time_point turn = Clock::now();
  std::unique_lock<std::mutex> hold(r.lock);
  for (;;) {
    if (r.stage == Stage::kFlushed) return;
    if (r.stage == Stage::kFlush) {
      for (const ErrorRelay::Line& line : r.waiting) compose(line, out);
      if (r.dropped > 0) compose({std::string(), r.dropped}, out);
      r.waiting.clear();
      r.waiting_bytes = 0;
      r.dropped = 0;
      hold.unlock();
      deliver(out, c.link);
      hold.lock();
      r.stage = Stage::kFlushed;
      r.changed.notify_all();
      return;
    }
    if (r.waiting.empty()) {
      r.changed.wait(hold);
      continue;
    }
    if (Clock::now() < turn) {
      r.changed.wait_until(hold, turn);
      continue;
    }
    ErrorRelay::Line line = std::move(r.waiting.front());
    r.waiting.pop_front();
    r.waiting_bytes -= line.text.size();
    hold.unlock();
    compose(line, out);
    deliver(out, c.link);
    turn = Clock::now() + kRelayPause;
    hold.lock();
  }
}

void finish_error_relay(EngineThreadContext& c) {
  ErrorRelay& r = c.errors;
  if (c.link.child.from_err == platform::no_handle) return;  // no engine was started
  std::unique_lock<std::mutex> hold(r.lock);
  r.changed.wait_for(hold, kLastWordsWait, [&] { return r.ended; });
  if (r.stage == Stage::kPaced) r.stage = Stage::kFlush;
  r.changed.notify_all();
  r.changed.wait_for(hold, kFlushWait, [&] { return r.stage == Stage::kFlushed; });
}
