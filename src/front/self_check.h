// The self-check a person sees on starting orv by hand, or asks for with "--check": what orv
// is, its own name, its engine, its folder and its ini file, each with a verdict and what to
// do, in Japanese and in English.
#pragma once

#include "engine/line_reader.h"

enum class CheckResult {
  kAllWell,
  kNotAllWell,  // nothing failed, but the engine did not answer as molvara does
  kFailed,      // orv cannot work as it stands: a line says what to do
};

// Writes the self-check to standard output: through the console's wide-text call where it is
// a console, else as narrow text. Starts the engine and ends it at once; writes no ini and
// no position file. by_hand ends it with how to go on at the console: Enter to close after
// a failure, else the wait for USI commands. What the person types meanwhile goes into typed
// ("quit" ends orv at once).
CheckResult run_self_check(const char* argv0, const char* version, bool by_hand,
                           LineReader* typed = nullptr);

// Waits until the person at the console presses Enter, or its input ends.
void wait_for_enter(LineReader& typed);
