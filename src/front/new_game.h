// "usinewgame" (the engine's settings for a game) and "isready" (the deferred start).
#pragma once

#include "front/adapter.h"

void handle_usinewgame(Adapter& adapter, Outbox& out);
// False when a deferred engine start failed (the GUI is told): the adapter then ends with
// exit code 1.
bool handle_isready(Adapter& adapter, Outbox& out);
