#include "common/messages.h"
#include "session/session_parts.h"

namespace {

// After "quit" or the end of the input, the engine has this long to end by itself (and save
// what it learned) before it is ended: well inside the time a GUI gives its engine.
constexpr std::uint32_t kEngineGraceMs = 2000;
// Then what orv still owes the GUI gets this long; a GUI that does not read loses it. After
// "quit" or the end of the input all of it ends a little within 3 s.
constexpr std::uint32_t kLastWritesMs = 1000;
constexpr std::uint32_t kEndAskedMs = 2900;
// An engine that has gone: what it still writes on both pipes is awaited this long.
constexpr std::uint32_t kLastWordsMs = 500;

bool pipes_over(const EngineLink& link) {
  return link.child.from_out == platform::no_handle || (drained(link.out) && drained(link.err));
}

// The engine and all it started end now; orv writes its last lines.
void to_flushing(Session& s, std::uint32_t now) {
  end_engine(s.link);
  s.state.engine.running = false;
  relay_all(s.errors, s.state.out);
  if (!s.farewell.empty()) outbox_gui(s.state.out, {s.farewell});
  if (s.input_ended && s.exit_code == 0) {
    outbox_gui(s.state.out, {"fgets", message(kMsgReadError)});
  }
  s.ending = Ending::kFlushing;
  s.waiting = Waiting::kEnd;
  s.phase_tick = now;
}

std::uint32_t last_writes_due(const Session& s) {
  const std::uint32_t due = s.phase_tick + kLastWritesMs;
  const bool asked = s.exit_code == 0 && s.end_asked_tick != 0;
  return asked && passed(due, s.end_asked_tick + kEndAskedMs) ? s.end_asked_tick + kEndAskedMs
                                                              : due;
}

void engine_message(Session& s, const char* what) {
  s.farewell = "info string engine " + s.state.engine.file + " " + what;
}

// The engine's last words have come, or their time is up: orv ends for it.
void after_last_words(Session& s, std::uint32_t now) {
  if (s.link.banner_read) {
    engine_message(s, "has exited");
  } else if (s.start == EngineStart::kFirst) {
    s.startup_failed = true;  // told in a message box, after what the engine said
  } else {
    engine_message(s, "cannot be started");
  }
  to_flushing(s, now);
}

}  // namespace

void end_asked(Session& s, std::uint32_t now) {
  s.ending = Ending::kAsked;
  s.end_asked_tick = now;
}

void end_now(Session& s, std::uint32_t now) {
  s.ending = Ending::kGrace;
  s.waiting = Waiting::kEnd;
  s.state.engine.running = false;  // commands still owed go out first; then its input closes
  if (s.link.child.process == platform::no_handle) to_flushing(s, now);
}

void engine_gone(Session& s, std::uint32_t now) {
  if (s.ending == Ending::kAsked) {  // orv is to end anyway: what still waits needs no engine
    s.ending = Ending::kGrace;
    s.waiting = Waiting::kEnd;
    s.state.engine.running = false;
  }
  if (s.ending == Ending::kGrace) {
    // Expected: whatever the engine started ends too, so that its pipes end.
    if (s.link.exited) platform::kill_child(s.link.child);
    return;
  }
  if (s.ending == Ending::kLastWords || s.ending == Ending::kFlushing) return;
  s.ending = Ending::kLastWords;
  s.waiting = Waiting::kEnd;
  s.exit_code = 1;
  s.phase_tick = now;
  if (s.link.child.process == platform::no_handle) after_last_words(s, now);
}

void engine_failed(Session& s, const char* what) {
  if (s.ending == Ending::kFlushing) return;
  s.exit_code = 1;
  engine_message(s, what);
  s.errors = ErrorRelay{};  // it is ended at once, without its last words
  to_flushing(s, platform::tick_ms());
}

bool ending_due(const Session& s, std::uint32_t& due) {
  switch (s.ending) {
    case Ending::kAsked:
    case Ending::kGrace:
      due = s.end_asked_tick + kEngineGraceMs;
      return true;
    case Ending::kLastWords:
      due = s.phase_tick + kLastWordsMs;
      return true;
    case Ending::kFlushing:
      due = last_writes_due(s);
      return true;
    case Ending::kNone:
      break;
  }
  return false;
}

void advance_end(Session& s, std::uint32_t now) {
  switch (s.ending) {
    case Ending::kAsked:
    case Ending::kGrace:
      if (passed(now, s.end_asked_tick + kEngineGraceMs) ||
          (s.ending == Ending::kGrace && s.link.exited && pipes_over(s.link))) {
        to_flushing(s, now);
      }
      break;
    case Ending::kLastWords:
      if (passed(now, s.phase_tick + kLastWordsMs) || pipes_over(s.link)) after_last_words(s, now);
      break;
    case Ending::kNone:
    case Ending::kFlushing:
      break;
  }
}

bool finished(const Session& s) {
  return s.ending == Ending::kFlushing &&
         ((gui_waiting(s.state.out).empty() && platform::io_gui_written()) || s.gui_gone ||
          passed(platform::tick_ms(), last_writes_due(s)));
}
