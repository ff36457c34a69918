// The search the engine owes an answer for, and the GUI's analysis. The engine is asked for a
// search only when it owes none, so every answer it gives is the answer of the one search
// asked: one that never comes costs that search alone, never every later one.
#pragma once

#include <cstdint>
#include <string>

enum class SearchPhase : std::uint8_t {
  kIdle,     // the engine owes no answer
  kRunning,  // asked, not yet told to end
  kStopped,  // the GUI sent "stop": its bestmove is due; the engine has been told "s"
  kLeft,     // the GUI left it without "stop": its end is neither shown nor played; told "s"
  kOverdue,  // no answer came in time after "s" (or after a doubted answer or a repeat
             // taken): the GUI has been answered, the engine may still owe it and is ended
             // before it is asked anything else
  kDoubted,  // its answer was no move orv could pass on, perhaps a line written for an earlier
             // search: the engine was told "s", and its real answer is awaited a moment
  kCopied,   // its answer repeated the engine's last move line at once, most likely a copy
             // written for the search before: the engine has been told "s", its own answer
             // is awaited a moment and shown; when none comes, the repeat was the answer
  kTaken,    // its repeat was given as the answer; were it a copy after all, the engine's own
             // answer may still come, until the time allowed after "s", and is not shown
};

struct Searches {
  SearchPhase phase = SearchPhase::kIdle;
  bool infinite = false;       // the search owed is a "go infinite": its bestmove waits for stop
  std::uint32_t end_tick = 0;  // when the engine was told "s"
  std::uint32_t serial = 0;    // grows with every "position"
  std::uint32_t searched = 0;  // the serial of the position the search owed is of
  bool analysis = false;       // "go infinite" not yet ended by "stop" or another command
  bool stopped = false;        // the GUI sent "stop" for the search owed: its bestmove is due
  // The move of an analysis that ended by itself ("resign" included), waiting for "stop";
  // empty when none waits.
  std::string held;
  // The engine has answered since the GUI's last "position": it has played that answer on its
  // own board, so a "go" without a new position must load the position again.
  bool answered = false;
};

// What becomes of an answer of the engine (a move line, a resign or a complaint).
struct SearchEnd {
  bool asked;    // it answers a search orv asked (false: nobody asked, nothing is shown)
  bool shown;    // written to the GUI (false: the GUI left the search)
  bool held;     // its bestmove waits for the GUI's "stop"
  bool current;  // it searched the board as it is now: its move is played on it
  bool late;     // it came after orv gave up waiting for it
};

inline bool engine_owes(const Searches& s) {
  return s.phase != SearchPhase::kIdle;
}

// The engine was told "s" and its answer is awaited, within a time.
inline bool answer_awaited(const Searches& s) {
  return s.phase == SearchPhase::kStopped || s.phase == SearchPhase::kLeft ||
         s.phase == SearchPhase::kDoubted || s.phase == SearchPhase::kCopied ||
         s.phase == SearchPhase::kTaken;
}

// An answer that came now would be shown to the GUI.
inline bool answer_shown(const Searches& s) {
  return s.phase == SearchPhase::kRunning || s.phase == SearchPhase::kStopped ||
         s.phase == SearchPhase::kCopied;
}

// Since the engine owes no search, one is asked now.
void search_asked(Searches& searches, bool infinite);

// The GUI leaves what runs without "stop" ("position", "usinewgame", "gameover", a new "go"):
// the analysis ends, its held bestmove dropped, and a search still running will be neither
// shown nor played. True when the engine is to be told "s" now (the time given).
bool search_left(Searches& searches, std::uint32_t now);

// "stop": the search asked is to be answered, and the analysis ends. The bestmove held for
// it, if any, is given (its move text) to be written now.
bool search_stopped(Searches& searches, std::uint32_t now, std::string& held);

// The engine answered: the search it owed, if any, has ended.
SearchEnd search_answered(Searches& searches);

// A new "position" from the GUI.
void position_given(Searches& searches);

// The answer was no move orv could pass on: perhaps a line the engine wrote for an earlier
// search, with the engine still at this one. It is told "s" now (the time given).
void search_doubted(Searches& searches, std::uint32_t now);

// The answer repeated the engine's last move line: perhaps a copy, with the engine still at
// this search. Unless the GUI's "stop" already had it told, it is told "s" now (true). Its
// answer is awaited a moment.
bool search_copied(Searches& searches, std::uint32_t now);

// What answered the search in phase was is no move there: the search is owed still. One the
// GUI left is doubted from now; an overdue or doubted one keeps its phase. (After a repeat
// taken it is the engine's own late answer, whatever it is.)
void search_owed_still(Searches& searches, SearchPhase was, std::uint32_t now);

// The repeat awaited with kCopied was given as the answer.
void search_taken(Searches& searches);

// No answer came in time after "s": orv no longer waits for it. True when the GUI waits for
// it (a "stop", or a timed search whose answer was a copy), so that it gets its bestmove
// now; an analysis not yet stopped gets its resign at "stop".
bool search_overdue(Searches& searches);

// The engine owing an overdue answer is ended and started afresh: it owes nothing.
void search_abandoned(Searches& searches);

// Milliseconds left of the time allowed for the answer after "s"; allowed while no "s" was
// sent, 0 once the time is up.
std::uint32_t wait_left(const Searches& searches, std::uint32_t now, std::uint32_t allowed);

// The search under way is an analysis the GUI has not stopped (the InfBook restart continues
// it).
bool analysing(const Searches& searches);

// The engine's reports (variations, candidates) belong to the board shown: no search is
// under way, or the one under way searches this board and the GUI still waits for it.
bool reports_shown(const Searches& searches);
