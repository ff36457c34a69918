// The USI command loop: one GUI line at a time, recognised by its leading words.
#pragma once

#include "front/adapter.h"
#include "front/usi_line.h"

enum class LoopAction { kContinue, kExitOk, kExitFailed };

// Handles one GUI line under the state lock; what it writes is left in out.
LoopAction dispatch_usi_line(Adapter& adapter, UsiLine& line, Outbox& out);

// One GUI line (text as read, with a line feed when terminated) handled under the state
// lock, its engine commands given their turn; what it writes is left in the adapter's
// outbox.
LoopAction compose_gui_line(Adapter& adapter, std::string_view text, bool terminated);

// Reads and handles GUI lines until the process ends; returns the exit code.
int run_usi_loop(Adapter& adapter);
