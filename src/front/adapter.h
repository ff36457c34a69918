// The whole adapter: what start-up finds, the state shared with the engine threads, and the
// main thread's own working storage.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "common/game_state.h"
#include "common/options.h"
#include "common/outbox.h"
#include "common/position_files.h"
#include "engine/engine_link.h"
#include "engine/line_reader.h"
#include "engine/trace.h"
#include "notation/position.h"
#include "translate/engine_threads.h"

struct Adapter {
  platform::Path engine_dir;        // the current directory and its separator
  platform::Path engine_base_name;  // the executable's base name without "orv_"
  platform::Path ini_path;          // engine_dir + "orv_<engine>.ini"
  std::string engine_name;          // reported after "id name "
  std::string prev_position;        // the argument of the last "position", line feed included
  PositionFiles files;

  std::mutex state_lock;  // guards the five below against the engine output thread
  Position position;
  Position searched_position;  // the board of a stopped search the GUI has moved on from
  GameState game;
  OptionValues options;
  EngineState engine;

  EngineLink link;
  ErrorRelay errors;
  std::atomic<bool> quitting{false};
  // Signalled when the engine no longer owes a search (a new one may be asked), and when one
  // is told "s" (its answer is then waited for a while at most).
  std::condition_variable searches_changed;
  EngineThreadContext threads{
      state_lock, position, searched_position, game, options, engine, files, link,
      errors,     quitting, searches_changed};

  LineReader gui_input;
  bool input_ended = false;  // the GUI's input has ended (rather than said "quit")
  std::string usi_line;      // the GUI line being handled, with its line feed when it had one
  Outbox out;
};

// One command to the engine, traced with Debug; dropped while no engine runs.
inline void send_command(Adapter& a, Outbox& out, std::string_view command) {
  send_to_engine(out, a.options, a.engine, command);
}

// Start-up and the command loop; returns the process's exit code.
int run_adapter(Adapter& adapter, const char* argv0);
