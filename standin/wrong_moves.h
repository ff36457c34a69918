// Moves an engine's board may allow but the rules of shogi do not, for a stand-in that answers
// with one as a faulty engine would. Found with the stand-in's own rules.
#pragma once

#include "standin/rules.h"

namespace standin {

enum class WrongMove {
  kBlockedSlider,  // a lance, bishop or rook (promoted too) past a piece in its way
  kSecondPawn,     // a pawn dropped on a file that holds one of its own
  kKingInCheck,    // the king steps where it is attacked
  kPromotion,      // a promotion that neither begins nor ends in the far three ranks
};
constexpr int kWrongMoveKinds = 4;

// A move of that kind in the position, for the side to move; false when it has none. It
// never takes a king.
bool wrong_move(const Board& b, WrongMove what, Move& m);

}  // namespace standin
