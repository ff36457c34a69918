// An impatient GUI, chosen by a seed: "stop" at any moment (when nothing runs too),
// "isready" and "setoption" while the engine thinks, analyses stopped at once or in bursts,
// "go infinite" twice, "go" with no new position (after a bestmove, after "stop", over an
// analysis never stopped), games left while the engine thinks; or, with its moods off, a GUI
// that asks each search as soon as the last is answered. And the checks of what the adapter
// answers: at most one bestmove per search, none for one left ("go infinite": only after its
// "stop"), every move shown legal in the position sent, nothing due later than its bound; with
// engines that note their searches (the stand-in's quirks.log), every bestmove the engine's own
// answer to the search asked, of the position sent, and every resign one the engine gave or a
// surprise since the search before explains. A search the engine itself leaves unanswered costs
// that search alone: a "stop" is answered all the same, and the next search in its own time,
// plus what is left of the 2 s orv gives the engine to answer its "s", plus the start of an
// engine started afresh when the answer never came.
#pragma once

#include <chrono>
#include <deque>
#include <random>
#include <string>

#include "standin/rules.h"
#include "tools/usi_player.h"

using ChaosClock = std::chrono::steady_clock;

// What is due (a bestmove after "stop", "readyok") comes within this long.
constexpr int kDueMs = 2000;
// An engine started afresh ("info string engine ... is started again") says its name within
// this long, and is given its settings and position; meanwhile orv handles no GUI line, so
// all that is due comes that much later.
constexpr int kRestartMs = 3000;
// The adapter's memory stays bounded whatever the engine writes (a flood of complaints).
constexpr long kPeakMemoryKib = 64 * 1024;

struct Chaos {
  bool on = false;      // the impatient GUI's moods
  bool checks = false;  // the rules are checked (all dialogues of these tools but a patient one)
  bool noted = false;   // the engines note their searches: each bestmove is traced to its answer
  std::mt19937 random;
  std::string fault;                           // the first broken rule; empty while none
  std::deque<ChaosClock::time_point> readies;  // when each "readyok" not yet seen is due
  // Until then orv may wait for the answer of a search the engine left unanswered.
  ChaosClock::time_point waits_until;
  long searches = 0, analyses = 0, stops = 0, left = 0, readies_sent = 0, options_sent = 0;
  long variations = 0, variation_moves = 0, repeats = 0, idle_stops = 0, engine_unanswered = 0;
  long bestmoves = 0, resigns = 0, restarts = 0;
  long traces[9] = {};  // bestmoves by their Trace
  long bad_variations = 0;
  // Rules broken that leave the dialogue as it was (a legal bestmove that is not the search's
  // own, a variation not legal in the position sent): each is told, and the dialogue goes on.
  long broken = 0;
  // Restarts seen so far, each kRestartMs: every bound is that much later.
  ChaosClock::duration restart_delay{0};

  // The clock the bounds are kept by: real time less the restarts' allowance.
  ChaosClock::time_point now() const { return ChaosClock::now() - restart_delay; }
  bool chance(int percent) { return on && static_cast<int>(random() % 100) < percent; }
  int between(int low, int high) {
    return low + static_cast<int>(random() % static_cast<unsigned>(high - low + 1));
  }
};

// The positions a line may speak of: the one sent for the search, and the one before it,
// whose last reports may still be on their way. Every search is asked with the "position"
// command before its "go", as GUIs do: the engine plays its own bestmove in its game.
struct Sent {
  standin::Board now, before;
  std::string command;  // "position ..." of now
};

// The moves of a variation ("... pv m1 m2 ...", up to a "[" tail) played on a copy of the
// board. False, with the move named, when one is not legal there.
bool variation_is_legal(const std::string& line, standin::Board board, std::string& bad,
                        long& moves);

// A bestmove legal in the position (or resign).
bool bestmove_is_legal(standin::Board position, const std::string& bestmove);

enum class Came { kBestmove, kReadyok, kNothing };

// Reads the adapter's lines until the deadline, a bestmove, or (when wanted) the "readyok"
// of the last "isready" sent. A bestmove that is not allowed or not legal, a "readyok" later
// than the bound are faults (chaos.fault); a bestmove that is not the engine's own answer, a
// variation not legal in either position are rules broken (chaos.broken).
Came read_until(Player& p, Chaos& chaos, ChaosClock::time_point deadline, const Sent& sent,
                bool bestmove_allowed, bool readyok_wanted, std::string& bestmove);

// "isready": its "readyok" within the bound, and no bestmove before it.
bool barrier(Player& p, Chaos& chaos, const Sent& sent);

// "go infinite", sometimes in a burst stopped at once, then "stop" after a pause with other
// GUI lines in it: each gives one bestmove, after its "stop", within the bound.
bool chaos_analysis(Player& p, Chaos& chaos, const Sent& sent, int think_ms, std::string& bestmove);

// A timed "go" with "isready", "setoption" and "stop" at random moments: one bestmove,
// within the byoyomi and the bound; sometimes over an analysis never stopped, sometimes asked
// again with no new position, sometimes followed by a "stop" when nothing runs.
bool chaos_timed_search(Player& p, Chaos& chaos, const Sent& sent, int byoyomi_ms,
                        std::string& bestmove);

// A game ended while the engine thinks: "gameover" (sometimes after "stop"); the GUI gets at
// most the bestmove of a stopped search or one already on its way.
bool chaos_leave_search(Player& p, Chaos& chaos, const Sent& sent, int byoyomi_ms);

// The adapter's peak memory in KiB, where the system tells it (0 where not).
long peak_memory_kib(const Player& p);

// Bestmoves traced, and those that break a rule by their kind, in words.
std::string broken_summary(const Chaos& chaos);

// The figures of a chaos run, for the tools' last line.
std::string chaos_summary(const Chaos& chaos);
