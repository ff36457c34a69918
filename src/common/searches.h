// The search the engine owes an answer for, and the GUI's analysis. The engine is asked for a
// search only when it owes none, so every answer it gives is the answer of the one search
// asked: one that never comes costs that search alone, never every later one. Guarded by the
// state lock.
#pragma once

#include <cstdint>
#include <string>

struct Search {
  bool infinite = false;  // "go infinite": its bestmove is held until "stop"
  bool stopped = false;   // the GUI sent "stop": its bestmove is due
  bool left = false;      // the GUI left it without "stop": its end is neither shown nor played
  bool ended = false;     // orv has told the engine "s" for it
  std::uint32_t end_tick = 0;  // when
  std::uint32_t serial = 0;    // the position it searches, counted by "position" commands
  // The reads of the engine's standard output and standard error done when it was asked:
  // a line that came with one of them was written before the engine had it.
  std::uint64_t reads_before[2] = {};
};

// Where an answer comes from, and the read of that pipe that brought it.
enum AnswerPipe { kOutputPipe = 0, kErrorPipe = 1 };
constexpr std::uint64_t kReadNotKnown = UINT64_MAX;  // a line from no pipe (tests): any read

struct Searches {
  bool owed = false;  // the engine was asked for search and has not answered it
  Search search;
  std::uint32_t serial = 0;  // grows with every "position"
  bool analysis = false;     // "go infinite" not yet ended by "stop" or another command
  // The move of an analysis that ended by itself ("resign" included), waiting for "stop";
  // empty when none waits.
  std::string held;
  // The engine has answered since the GUI's last "position": it has played that answer on its
  // own board, so a "go" without a new position must load the position again.
  bool answered = false;
  // A complaint's bestmove is being written by the thread that read it: a new search waits
  // until the GUI has it, so the two answers cannot cross.
  bool answer_on_its_way = false;
};

// What becomes of an answer of the engine (a move line, a resign or a complaint).
struct SearchEnd {
  bool asked;    // it answers a search orv asked (false: nobody asked, nothing is shown)
  bool shown;    // written to the GUI (false: the GUI left the search)
  bool held;     // its bestmove waits for the GUI's "stop"
  bool current;  // it searched the board as it is now: its move is played on it
};

// Since the engine owes no search, one is asked now; the reads of its two pipes so far.
void search_asked(Searches& searches, bool infinite, std::uint64_t out_reads = 0,
                  std::uint64_t err_reads = 0);

// The GUI leaves what runs without "stop" ("position", "usinewgame", "gameover", a new "go"):
// the analysis ends, its held bestmove dropped, and a search still running will be neither
// shown nor played. True when the engine is to be told "s" now (the time given).
bool search_left(Searches& searches, std::uint32_t now);

// "stop": the search asked is to be answered, and the analysis ends. The bestmove held for
// it, if any, is given (its move text) to be written now.
bool search_stopped(Searches& searches, std::uint32_t now, std::string& held);

// The engine answered, in a line that the given read of that pipe brought: the search it
// owed, if that was asked before the read, has ended.
SearchEnd search_answered(Searches& searches, AnswerPipe pipe = kOutputPipe,
                          std::uint64_t read = kReadNotKnown);

// The engine has not answered a search it was told to end within the time allowed: orv
// stops waiting for that answer.
void search_forgotten(Searches& searches);

// A new "position" from the GUI.
void position_given(Searches& searches);

// Milliseconds a new search may still wait for the answer of the one owed (0: no more).
std::uint32_t wait_left(const Searches& searches, std::uint32_t now, std::uint32_t allowed);

// The search under way is an analysis the GUI has not stopped (the InfBook restart continues
// it).
bool analysing(const Searches& searches);

// The engine's reports (variations, candidates) belong to the board shown: no search is
// under way, or the one under way searches this board and the GUI still waits for it.
bool reports_shown(const Searches& searches);

// A search was asked and not yet answered, or its answer is still on its way to the GUI.
bool engine_busy(const Searches& searches);
