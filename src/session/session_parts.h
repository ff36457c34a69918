// The session loop's own parts, one file each: the engine's events, the GUI's lines, the end.
#pragma once

#include <cstdint>

#include "session/session.h"

// A deadline of the loop has come (ticks wrap at 32 bits).
inline bool passed(std::uint32_t now, std::uint32_t due) {
  return static_cast<std::int32_t>(now - due) >= 0;
}

// The engine: started (at once, or at "isready"), its lines read, its going away.
bool begin_engine(Session& session, EngineStart start);
// The engine never answered a stop: its last lines are shown, it is ended and started again.
void start_engine_again(Session& session, std::uint32_t now);
// The GUI's lines wait until then: an engine started again that has not said its name in time
// is gone; one that has, has said what it says at once after its name.
bool banner_due(const Session& session, std::uint32_t& due);
void read_engine(Session& session, platform::Input input, std::uint32_t now);
// Handles every line the reader of that input holds (read_engine's second half).
void take_engine_lines(Session& session, platform::Input input, std::uint32_t now);
void engine_exited(Session& session, std::uint32_t now);
// The engine has gone while orv did not expect it: its last words, then orv ends.
void engine_gone(Session& session, std::uint32_t now);
// The engine cannot go on (what: "does not read its input"): it is ended at once.
void engine_failed(Session& session, const char* what);

// The GUI's input is read on: not once orv ends, nor while the GUI reads far more slowly than
// orv answers it, or has sent more than orv holds while it waits (rather than lose lines).
bool gui_read_on(const Session& session);

// The GUI's lines: handled as they come, or held while something is awaited.
void read_gui(Session& session, std::uint32_t now);
void take_gui_lines(Session& session, std::uint32_t now);
void resume_gui_lines(Session& session, std::uint32_t now);

// The end: "quit" or the end of the input asked for it (its turn comes after the lines before
// it), the engine's grace, its last words, the last writes.
void end_asked(Session& session, std::uint32_t now);
void end_now(Session& session, std::uint32_t now);
bool ending_due(const Session& session, std::uint32_t& due);
void advance_end(Session& session, std::uint32_t now);
bool finished(const Session& session);
