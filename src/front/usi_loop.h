// The USI command loop: one GUI line at a time, recognised by its leading words.
#pragma once

#include "front/adapter.h"
#include "front/usi_line.h"

enum class LoopAction { kContinue, kExitOk, kExitFailed };

// Handles one GUI line under the state lock; what it writes is left in out.
LoopAction dispatch_usi_line(Adapter& adapter, UsiLine& line, Outbox& out);

// Reads and handles GUI lines until the process ends; returns the exit code.
int run_usi_loop(Adapter& adapter);
