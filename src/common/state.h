// Everything the handlers of GUI lines and engine lines work on: the session loop owns one
// and hands it to each handler in turn, so nothing in it needs a lock.
#pragma once

#include <string>

#include "common/game_state.h"
#include "common/options.h"
#include "common/outbox.h"
#include "common/position_files.h"
#include "notation/position.h"
#include "platform/platform.h"

// Where the engine's output stands between the pieces of an over-long line.
struct EngineLinePieces {
  std::string cleaned;        // a piece with its control bytes made blanks
  bool in_long_line = false;  // the last piece did not end its line
  bool echo_rest = false;     // the long line is echoed: its further pieces are echoed too
};

struct State {
  platform::Path engine_dir;        // the current directory and its separator
  platform::Path engine_base_name;  // the executable's base name without "orv_"
  platform::Path ini_path;          // engine_dir + "orv_<engine>.ini"
  std::string engine_name;          // reported after "id name "
  std::string prev_position;        // the argument of the last "position", line feed included
  PositionFiles files;
  Position position;
  Position searched_position;  // the board of a stopped search the GUI has moved on from
  GameState game;
  OptionValues options;
  EngineState engine;
  EngineLinePieces pieces;
  std::string scratch;  // working text, kept from line to line so it is not reallocated
  Outbox out;
};
