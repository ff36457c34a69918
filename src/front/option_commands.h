// "usi" (identification and the option list) and "setoption name".
#pragma once

#include "common/state.h"
#include "front/usi_line.h"

void handle_usi(State& state);
void handle_setoption(State& state, UsiLine& line);
