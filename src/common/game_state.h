// The per-game and per-engine state the handlers of GUI lines and engine lines share.
#pragma once

#include <cstdint>
#include <string>

#include "common/searches.h"
#include "notation/position.h"

struct EngineState {
  bool running = false;  // started, its banner read, and not yet closed
  // The banner began "Molvara Version 1", 2 or 3 (an engine that takes fewer settings);
  // 0 for any other banner.
  int version = 0;
  std::string file;  // the engine's file name, for the GUI's messages
};

// The engine's opening book as this game has it.
enum class Book : std::uint8_t {
  kOn,           // on, until the move number reaches BookNum
  kOff,          // off for the rest of the game
  kAnalysis,     // turned on again by "go infinite" in a game that has it on
  kAnalysisOff,  // turned on again by "go infinite" in a game that has it off
};

struct GameState {
  bool time_limit_sent = false;  // the engine has its limit for this game
  std::int32_t book_limit = 0;   // BookNum of the game
  Book book = Book::kOn;
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
  bool pondering = false;
  bool info_seen = false;
  // The engine's last output line when it was a move line (else empty), and when it came:
  // the same line again at once is a copy of it. Searched again: it was the book's move of
  // an analysis, which the engine was asked to search again with its book off.
  std::string last_move_line;
  std::uint32_t last_move_tick = 0;
  Position last_move_board;  // the board of the search owed then
  bool last_move_searched_again = false;
  Searches searches;  // the search the engine owes, the GUI's analysis
  // The engine's last move as it printed it, and a line feed: the record of lastmove.dat.
  char last_move_record[8] = {};
};
