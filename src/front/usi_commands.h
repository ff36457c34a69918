// One GUI line, recognised by its leading words and handled on the state; what the session
// loop must do beyond it is returned.
#pragma once

#include <cstdint>

#include "common/state.h"
#include "front/usi_line.h"

enum class UsiAction {
  kDone,
  kQuit,
  kStartEngine,    // "isready" with the engine's start deferred: again once it runs
  kWaitForEngine,  // a search while the engine owes an answer: again once it is free
  kStartAgain,     // the engine never answered a stop: again once it is started afresh
};

UsiAction dispatch_usi_line(State& state, UsiLine& line, std::uint32_t now);
