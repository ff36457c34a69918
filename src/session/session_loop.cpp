#include <cstdint>

#include "common/messages.h"
#include "front/search_commands.h"
#include "front/startup.h"
#include "platform/platform.h"
#include "session/session.h"
#include "session/session_parts.h"
#include "translate/engine_lines.h"

namespace {

// An engine that takes none of its input this long while commands wait for it is hung.
constexpr std::uint32_t kEngineWriteMs = 5000;
// A GUI with a full backlog that has taken nothing this long has stopped reading: orv reads
// on, and drops what it cannot keep, rather than wait on it. (A pipe frees its room a page at
// a time: a GUI reading 10 KB a second takes something every 0.4 s.)
constexpr std::uint32_t kGuiStallMs = 1000;

// Writes what each pipe takes now; the engine's input is closed once all it is owed is in.
void flush(Session& s, std::uint32_t now) {
  Outbox& out = s.state.out;
  for (std::string_view w = gui_waiting(out); !w.empty() && !s.gui_gone; w = gui_waiting(out)) {
    const long n = platform::io_write(platform::kGuiOut, w.data(), w.size());
    if (n <= 0) {
      s.gui_gone = n < 0;  // a GUI that has closed its end reads nothing more
      break;
    }
    gui_took(out, static_cast<std::size_t>(n));
    s.gui_read_tick = now;
  }
  if (s.gui_gone) gui_took(out, gui_waiting(out).size());
  if (!gui_backlog_full(out)) s.gui_read_tick = now;
  out.gui_stalled = passed(now, s.gui_read_tick + kGuiStallMs);
  for (std::string_view w = engine_waiting(out); !w.empty(); w = engine_waiting(out)) {
    if (s.link.child.to_engine == platform::no_handle) {
      engine_took(out, w.size());  // an engine orv no longer talks to
      break;
    }
    const long n = platform::io_write(platform::kEngineIn, w.data(), w.size());
    if (n < 0) {  // its input is closed: it has gone, and takes nothing more
      engine_took(out, w.size());
      close_engine_input(s.link);
      return engine_gone(s, now);
    }
    if (n == 0) {
      if (!s.engine_blocked) s.engine_stuck_tick = now;
      s.engine_blocked = true;
      return;
    }
    engine_took(out, static_cast<std::size_t>(n));
    s.engine_stuck_tick = now;
  }
  s.engine_blocked = false;
  if (s.ending == Ending::kGrace) close_engine_input(s.link);
}

platform::Wants wants_of(const Session& s) {
  platform::Wants w;
  // A GUI that reads slowly holds the engine's reports back, not the answer it waits for.
  const bool held_back = gui_backlog_full(s.state.out) && !s.state.out.gui_stalled &&
                         s.ending == Ending::kNone && !answer_awaited(s.state.game.searches);
  w.read[platform::kGuiIn] = gui_read_on(s);
  w.read[platform::kEngineOut] = !s.link.out.ended && !held_back;
  w.read[platform::kEngineErr] = !s.link.err.ended;
  w.write[platform::kGuiOut] =
      (!gui_waiting(s.state.out).empty() || !platform::io_gui_written()) && !s.gui_gone;
  w.write[platform::kEngineIn] = !engine_waiting(s.state.out).empty();
  return w;
}

// The earliest deadline of the loop as a wait in milliseconds, -1 for none.
int next_wait(const Session& s, std::uint32_t now) {
  std::uint32_t dues[7];
  int count = 0;
  if (relay_waits(s.errors, dues[count])) ++count;
  if (s.state.engine.running && (dues[count] = stop_answer_due(s.state)) != 0) ++count;
  if (s.engine_blocked) dues[count++] = s.engine_stuck_tick + kEngineWriteMs;
  if (gui_backlog_full(s.state.out) && !s.state.out.gui_stalled) {
    dues[count++] = s.gui_read_tick + kGuiStallMs;
  }
  if (ending_due(s, dues[count])) ++count;
  if (banner_due(s, dues[count])) ++count;
  int wait = -1;
  for (int i = 0; i < count; ++i) {
    const std::int32_t left = static_cast<std::int32_t>(dues[i] - now);
    const int ms = left > 0 ? left : 0;
    if (wait < 0 || ms < wait) wait = ms;
  }
  return wait;
}

void reach_deadlines(Session& s, std::uint32_t now) {
  relay_next(s.errors, s.state.out, now);
  const std::uint32_t stop_due = stop_answer_due(s.state);
  if (s.state.engine.running && stop_due != 0 && passed(now, stop_due) &&
      !repeat_answered(s.state, now)) {
    stop_answer_overdue(s.state);
  }
  if (s.engine_blocked && passed(now, s.engine_stuck_tick + kEngineWriteMs)) {
    engine_failed(s, "does not read its input");
  }
  std::uint32_t due;
  if (banner_due(s, due) && passed(now, due)) {
    if (s.waiting == Waiting::kFirstWords) {
      s.waiting = Waiting::kNothing;
    } else {
      engine_gone(s, now);
    }
  }
  advance_end(s, now);
}

void step(Session& s) {
  std::uint32_t now = platform::tick_ms();
  flush(s, now);
  if (finished(s)) return;
  platform::Ready ready;
  const bool looking = s.go_looks > 0;
  s.go_looks -= looking;
  if (!platform::io_wait(wants_of(s), looking ? 0 : next_wait(s, now), ready) && looking) {
    platform::give_way();
  }
  now = platform::tick_ms();
  if (ready.exited) engine_exited(s, now);
  if (ready.read[platform::kEngineOut]) read_engine(s, platform::kEngineOut, now);
  if (ready.read[platform::kEngineErr]) read_engine(s, platform::kEngineErr, now);
  if (ready.read[platform::kGuiIn]) read_gui(s, now);
  reach_deadlines(s, now);
  resume_gui_lines(s, now);
}

}  // namespace

int run_session(Session& s, const char* argv0) {
  platform::io_open();
  switch (start_up(s.state, argv0)) {
    case StartUp::kFailed:
      return 1;
    case StartUp::kEngineNow:
      if (!begin_engine(s, EngineStart::kFirst)) {
        engine_cannot_start_now(s.state);
        return 1;
      }
      break;
    case StartUp::kEngineAtIsready:
      break;
  }
  take_gui_lines(s, platform::tick_ms());  // what was typed during the self-check
  while (!finished(s)) step(s);
  if (s.startup_failed) engine_cannot_start_now(s.state);
  return s.exit_code;
}
