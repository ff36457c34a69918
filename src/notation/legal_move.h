// Whether an engine's move keeps the rules of shogi on the board copy: a GUI forfeits the
// game on a move that only looks like one.
#pragma once

#include "notation/position.h"

// True when the engine's move (six characters without sign; file digits mirrored first
// when flip is on) is readable (csa_move_is_readable) and legal for the side to move:
// - the piece moves so (lance, bishop, rook, horse and dragon slide) and its way is free;
// - it promotes only when it moves from or into the far three ranks, and must promote
//   where it could never move again (pawn or lance on the last rank, knight on the last two);
// - a drop is never where the piece could never move, a pawn never onto a file that holds
//   the mover's unpromoted pawn, nor so that it mates (the opponent has no legal answer);
// - no king of the mover is attacked afterwards.
// Reads the six characters only, changes nothing and allocates nothing. A side with no
// king is never in check; one with two is in check when either is attacked.
bool csa_move_is_legal(const Position& position, const char* csa, bool flip);
