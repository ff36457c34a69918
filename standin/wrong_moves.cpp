#include "standin/wrong_moves.h"

namespace standin {
namespace {

bool on_board(int file, int rank) {
  return file >= 1 && file <= 9 && rank >= 1 && rank <= 9;
}

// The far three ranks of the side: where a piece may promote.
bool in_zone(int color, int sq) {
  return color == 0 ? rank_of(sq) <= 3 : rank_of(sq) >= 7;
}

// Whether the piece slides along (file, rank) steps, the rank as seen by black.
bool slides(int kind, int df, int dr) {
  const bool diagonal = df != 0 && dr != 0;
  switch (kind) {
    case kLance:
      return df == 0 && dr == -1;
    case kBishop:
    case kHorse:
      return diagonal;
    case kRook:
    case kDragon:
      return !diagonal;
    default:
      return false;
  }
}

// A square the mover may land on by the board alone: empty, or the other side's, not a king.
bool landing(const Board& b, int sq) {
  const std::uint8_t there = b.sq[sq];
  return there == kEmpty || (color_of(there) != b.side && kind_of(there) != kKing);
}

bool blocked_slider(const Board& b, Move& m) {
  for (int from = 0; from < 81; ++from) {
    const std::uint8_t piece = b.sq[from];
    if (piece == kEmpty || color_of(piece) != b.side) continue;
    for (int df = -1; df <= 1; ++df) {
      for (int dr = -1; dr <= 1; ++dr) {
        if ((df == 0 && dr == 0) || !slides(kind_of(piece), df, dr)) continue;
        const int step_rank = b.side == 0 ? dr : -dr;
        bool blocked = false;
        for (int n = 1; on_board(file_of(from) + n * df, rank_of(from) + n * step_rank); ++n) {
          const int to = square(file_of(from) + n * df, rank_of(from) + n * step_rank);
          if (blocked && landing(b, to)) {
            m = {static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to),
                 static_cast<std::uint8_t>(kind_of(piece)), false};
            return true;
          }
          if (b.sq[to] != kEmpty) blocked = true;
        }
      }
    }
  }
  return false;
}

bool second_pawn(const Board& b, Move& m) {
  if (b.hand[b.side][kPawn] == 0) return false;
  const std::uint8_t own_pawn = kPawn | (b.side ? kWhite : 0);
  for (int sq = 0; sq < 81; ++sq) {
    if (b.sq[sq] != own_pawn) continue;
    for (int rank = 2; rank <= 8; ++rank) {
      const int to = square(file_of(sq), rank);
      if (b.sq[to] != kEmpty) continue;
      m = {kDropFrom, static_cast<std::uint8_t>(to), kPawn, false};
      return true;
    }
  }
  return false;
}

bool king_in_check(const Board& b, Move& m) {
  const std::uint8_t king = kKing | (b.side ? kWhite : 0);
  for (int from = 0; from < 81; ++from) {
    if (b.sq[from] != king) continue;
    for (int df = -1; df <= 1; ++df) {
      for (int dr = -1; dr <= 1; ++dr) {
        const int f = file_of(from) + df, r = rank_of(from) + dr;
        if ((df == 0 && dr == 0) || !on_board(f, r) || !landing(b, square(f, r))) continue;
        const Move step{static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(square(f, r)),
                        kKing, false};
        Board after = b;
        Undo u;
        make_move(after, step, u);
        if (in_check(after, b.side)) {
          m = step;
          return true;
        }
      }
    }
  }
  return false;
}

bool promotion(const Board& b, Move& m) {
  Board copy = b;
  MoveList list;
  legal_moves(copy, list);
  for (int i = 0; i < list.size; ++i) {
    const Move& legal = list.moves[i];
    if (legal.from == kDropFrom || !can_promote(legal.kind) || in_zone(b.side, legal.from) ||
        in_zone(b.side, legal.to)) {
      continue;
    }
    m = legal;
    m.promote = true;
    return true;
  }
  return false;
}

}  // namespace

bool wrong_move(const Board& b, WrongMove what, Move& m) {
  switch (what) {
    case WrongMove::kBlockedSlider:
      return blocked_slider(b, m);
    case WrongMove::kSecondPawn:
      return second_pawn(b, m);
    case WrongMove::kKingInCheck:
      return king_in_check(b, m);
    case WrongMove::kPromotion:
      return promotion(b, m);
  }
  return false;
}

}  // namespace standin
