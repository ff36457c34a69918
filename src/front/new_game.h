// "usinewgame": the engine's settings for a game.
#pragma once

#include "common/state.h"

void handle_usinewgame(State& state);
