// What the stand-in notes of its searches in its folder's quirks.log (standin/quirks.h), read
// as it grows: which search each line it answers with belongs to, and its surprises. With it
// the tools check that a bestmove is the engine's own answer to the search the GUI asked, and
// that a resign is one the engine gave or a surprise explains.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "standin/rules.h"

struct LogEntry {
  std::string what, id, text;  // "search", "answer", "quirk" or "unanswered"
};

struct EngineLog {
  std::filesystem::path path;
  std::uintmax_t read_to = 0;  // the bytes of whole lines taken
  std::vector<LogEntry> entries;
  // The entries there were when the GUI sent its last "go", and the one before.
  std::size_t go_at = 0, go_before = 0;
  int unanswered = 0;  // "unanswered" entries so far
  int stalls = 0;      // the same and late answers: orv may wait 2 s for each
};

// Takes the lines the engine has completed since the last read.
void read_log(EngineLog& log);

// The GUI sends "go": what the engine notes from now on is of this search or later.
void log_go(EngineLog& log);

// Since the "go" before the last one: a surprise (any "quirk" or "unanswered" entry).
bool surprise_since_search_before(const EngineLog& log);

// What the bestmove the GUI got for its last "go" on position is.
enum class Trace {
  kOwn,          // a move the engine wrote for a search of that position it began since the go
  kResign,       // a resign or complaint the engine gave such a search
  kExplained,    // a resign that a surprise since the search before explains
  kCopy,         // the engine's answer to the search before, of the same position, written
                 // twice: its copy cannot be told from an answer, and costs this search
  kNoSearch,     // a move line the engine wrote for no search (after its banner)
  kSameBoard,    // the engine's answer to an earlier search of the same position
  kOtherBoard,   // its answer to a search of another position
  kUnexplained,  // a resign with neither
  kUnknown,      // no line the engine wrote
};

// Traces the bestmove (legal in the position); why tells which line it was when not the
// search's own.
Trace trace_bestmove(EngineLog& log, standin::Board position, const std::string& bestmove,
                     std::string& why);
