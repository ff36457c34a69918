// The per-game and per-engine state that the main thread and the engine output thread
// share. Guarded, with the position and the options, by the one state lock.
#pragma once

#include <cstdint>
#include <string>

#include "common/searches.h"

struct EngineState {
  bool running = false;  // started and not yet closed
  // The banner began "Molvara Version 1", 2 or 3: an engine that takes fewer settings.
  bool is_v1 = false, is_v2 = false, is_v3 = false;
};

struct GameState {
  bool time_limit_sent = false;  // the engine has its limit for this game
  std::int32_t book_limit = 0;   // BookNum of the game
  bool book_disabled = false;    // "book off" is in force for this game
  std::uint32_t search_start_tick = 0;
  std::string last_bestmove;  // the adapter's last bestmove, USI notation
  std::string pending_move;   // a CSA move for the next "go"; empty when none
  // The last "position" argument that set the board copy: the InfBook restart writes the
  // position file from it, so the engine re-reads the position on the GUI's board.
  std::string position_argument;
  bool restraint_active = false;
  // The engine's board is not the GUI's last position (the position file could not be
  // written, or the engine played an answer that orv did not): the next search loads it whole.
  bool engine_behind = false;
  // "go infinite" turned the book on again in a game that had it off: the next timed search
  // turns it off again.
  bool book_reopened = false;
  bool pondering = false;
  bool info_seen = false;
  Searches searches;  // the search the engine owes, the GUI's analysis
  // The engine's last move as it printed it, and a line feed: the record of lastmove.dat.
  char last_move_record[8] = {};
};
