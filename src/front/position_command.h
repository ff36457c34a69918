// "position": the engine's position kept in step with the GUI's, by a single new move
// passed on with the next "go" or by a full reload through the position file; and, with
// AnotherHand, the memory of repeated positions.
#pragma once

#include <string_view>

#include "common/state.h"
#include "front/usi_line.h"

// True when argument is the previous one, then one character, the adapter's last bestmove
// and a remainder of 6 or 7 characters (a blank, one move, the line feed).
bool is_single_new_move(std::string_view argument, std::string_view previous,
                        std::string_view last_bestmove);

void handle_position(State& state, UsiLine& line);
