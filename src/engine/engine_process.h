// The engine's process and its three pipes: the one place an engine is started and ended,
// for the session and for the self-check alike.
#pragma once

#include <string>
#include <string_view>

#include "engine/line_reader.h"
#include "platform/platform.h"

struct EngineLink {
  platform::Child child;
  LineReader out, err;  // its standard output and standard error, as the wait brings them
  bool exited = false;  // its process has ended (its pipes may still be held by another)
  // The first line with text in it, once read; the rest of that line, if it was too long for
  // one piece, is no line of its own.
  bool banner_read = false;
  bool in_banner_rest = false;
};

// Starts dir/base with its pipes in the session's wait. False when it could not be started.
bool start_engine(EngineLink& link, const platform::Path& dir, const platform::Path& base);
// The engine sees the end of its input.
void close_engine_input(EngineLink& link);
// Ends the engine and all it started, if it still runs, and leaves the wait: its exit code
// (platform::kStillRunning when none was started).
int end_engine(EngineLink& link);

// One piece of the engine's output before its banner: true when it was the banner, whose
// text (control bytes made blanks) is then in banner. Lines of blanks are no banner.
bool take_banner(EngineLink& link, std::string_view piece, bool ends_line, std::string& banner);

// The version (1, 2, 3, or 0 for any other banner) and the reported name from the engine's
// first line: " - The Computer Shogi Engine" is cut, and " (<base>)" added for an engine not
// named molvara.
int engine_name_from_banner(std::string_view banner, const std::string& base, std::string& name);
