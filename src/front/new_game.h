// "usinewgame": the engine's settings for a game.
#pragma once

#include "common/state.h"

void handle_usinewgame(State& state);

// The engine, started afresh in the middle of a game, is given the game's settings, and the
// position in full at the next search.
void settings_again(State& state);
