// The session loop: the one thread that owns all of orv's state. It waits for the next
// event (a GUI line, the end of the GUI's input, an engine output or error line, the engine's
// exit, the earliest deadline) and handles it to the end before it takes the next.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "common/state.h"
#include "engine/engine_process.h"
#include "engine/line_reader.h"
#include "translate/error_relay.h"

// Why GUI lines wait their turn instead of being handled as they come.
enum class Waiting : std::uint8_t {
  kNothing,
  kBanner,      // the engine is starting: its first line is awaited
  kFirstWords,  // it has said its name: what it says at once after that answers nothing
  kEngineFree,  // a search waits until the engine has answered the one it owes
  kEnd,         // orv is ending: nothing more is handled
};

enum class EngineStart : std::uint8_t {
  kFirst,      // at start-up, the first in this folder
  kAtIsready,  // at the first "isready"
  kAgain,      // afresh, after it never answered a stop
};

// How orv comes to its end, and what it still owes before it exits.
enum class Ending : std::uint8_t {
  kNone,
  kAsked,      // "quit" or the end of the input was read; its turn has not come yet
  kGrace,      // the engine's input is closed: it may end by itself until the grace is over
  kLastWords,  // the engine has gone: what it still writes is shown, briefly
  kFlushing,   // the engine has ended: what the GUI is owed is written, briefly
};

struct Session {
  State state;
  EngineLink link;
  ErrorRelay errors;
  LineReader gui;
  std::deque<std::string> held;  // GUI lines waiting their turn
  std::size_t held_bytes = 0;
  Waiting waiting = Waiting::kNothing;
  EngineStart start = EngineStart::kFirst;  // how the engine running now was started
  std::uint32_t engine_started_tick = 0;
  std::uint32_t banner_again_ms = 0;  // how long an engine started again may take
  std::uint32_t banner_due = 0;       // an engine started again says its name by then
  std::uint32_t first_words_due = 0;  // the end of what it says at once after its name
  Ending ending = Ending::kNone;
  bool input_ended = false;  // the GUI's input has ended (rather than said "quit")
  int exit_code = 0;
  std::string farewell;                 // the last GUI line once the engine has gone
  std::uint32_t end_asked_tick = 0;     // when "quit" or the end of input was read
  std::uint32_t phase_tick = 0;         // when the last words or the final flush began
  bool engine_blocked = false;          // the engine's input holds bytes it has not taken
  std::uint32_t engine_stuck_tick = 0;  // since when it has taken none
  std::uint32_t gui_read_tick = 0;      // when the GUI last took bytes, or had room
  bool gui_gone = false;                // the GUI's end of its pipe is closed: nothing is written
  bool startup_failed = false;          // the first start's engine never said its name
  int go_looks = 0;      // looks left, without sleeping, for the "go" after a "position"
  std::string usi_line;  // the GUI line being handled, with its line feed when it had one
};

// Runs orv after its self-check: start-up, then the loop until orv ends; the exit code.
int run_session(Session& session, const char* argv0);
