// The engine started for a moment, as the self-check starts it, and what it showed then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/line_reader.h"
#include "platform/platform.h"

// The last lines a trial keeps of each of the engine's pipes, and of each line its start.
constexpr std::size_t kTrialLastLines = 3;
constexpr std::size_t kTrialLineBytes = 200;

enum class TrialOutcome {
  kSaidName,     // its first line came within the wait, and it still ran a moment later
  kEnded,        // it ended by itself (or closed its output): before its first line, or at once
                 // after it, as an engine does that lacks a file or a DLL it needs
  kSilent,       // it still ran at the end of the wait and had written no line with text
  kCannotStart,  // the system could not start it
};

struct EngineTrial {
  TrialOutcome outcome = TrialOutcome::kCannotStart;
  std::string name;  // kSaidName: the name orv reports for it (as read from its first line)
  // Its last lines with text, oldest first, cut to whole characters, control bytes blanks:
  // its standard error, and its standard output (its first line among them).
  std::vector<std::string> last_errors, last_output;
  bool exited = false;          // it ended by itself, with exit_code
  std::uint32_t exit_code = 0;  // as the system gives it (NTSTATUS values on Windows)
};

// Starts <dir><base><suffix> as orv starts its engine, waits up to wait_ms for its first line
// with text, and a moment longer for an end by itself; then closes its input, ends it at once
// and reads what is left of its pipes for at most a second. Writes nothing, to no one. What
// the person types meanwhile goes into typed (when given): "quit" ends orv at once.
EngineTrial trial_engine(const platform::Path& dir, const platform::Path& base, unsigned wait_ms,
                         LineReader* typed);
