// The searches orv has asked the engine for and not yet had answered, oldest first (the
// engine answers them in the order asked), and the GUI's analysis: from "go infinite" the
// GUI expects one bestmove, after its "stop". Guarded by the state lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "notation/position.h"

struct Search {
  bool infinite = false;     // "go infinite": its bestmove is held until "stop"
  bool stopped = false;      // the GUI sent "stop": its bestmove is due
  bool abandoned = false;    // the GUI left it without "stop": its end is neither shown nor played
  std::uint32_t serial = 0;  // the position it searches, counted by "position" commands
  Position board;            // that position, to read its move when the board has moved on
};

// More than this many unanswered searches means the engine answers none; the oldest is
// then forgotten.
constexpr std::size_t kMaxPendingSearches = 64;

struct Searches {
  Search pending[kMaxPendingSearches];
  std::size_t first = 0, count = 0;
  std::uint32_t serial = 0;  // grows with every "position"
  bool analysis = false;     // "go infinite" not yet ended by "stop" or another command
  // The move of an analysis that ended by itself ("resign" included), waiting for "stop";
  // empty when none waits.
  std::string held;
};

// What becomes of the line that ends the oldest search.
struct SearchEnd {
  bool shown;             // written to the GUI (false: the GUI left the search)
  bool held;              // its bestmove waits for the GUI's "stop"
  bool current;           // it searched the board as it is now: its move is played on it
  const Position* board;  // else the position it searched, valid until the next search
};

// A search sent to the engine, of the board as it is.
void search_asked(Searches& searches, bool infinite, const Position& board);

// "go" or "go infinite": an analysis the GUI never stopped ends, its held bestmove dropped.
// True when its search still runs and would never end by itself: the engine is to be sent
// "s".
bool end_analysis(Searches& searches);

// "position", "usinewgame", "gameover": every search the GUI has not stopped is left, and
// the analysis ends. True when the engine is to be sent "s".
bool leave_searches(Searches& searches);

// "stop": every search asked is to be answered, and the analysis ends. The held bestmove, if
// any, is returned (the move text) to be written now.
bool stop_searches(Searches& searches, std::string& held);

// A move line, a resign or a complaint ended the oldest search. Without a search asked (an
// engine that answers on its own) the line is shown and played as it always was.
SearchEnd search_ended(Searches& searches);

// The search under way is an analysis the GUI has not stopped (the InfBook restart continues
// it).
bool analysing(const Searches& searches);

// The engine's reports (variations, candidates) belong to the board shown: no search is
// under way, or the one under way searches this board and the GUI still waits for it.
bool reports_shown(const Searches& searches);

bool searches_pending(const Searches& searches);
