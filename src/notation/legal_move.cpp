#include "notation/legal_move.h"

#include <cstdlib>
#include <cstring>

#include "notation/moves.h"

namespace {

constexpr int kPawn = 0, kLance = 1, kKnight = 2, kKing = 7;

// A one-square way as the mover sees it, as a bit of the 3 x 3 grid around the piece:
// rank offset -1 is forward for either side.
constexpr int way(int rank_offset, int file_offset) {
  return 1 << ((rank_offset + 1) * 3 + file_offset + 1);
}
constexpr int kAhead = way(-1, 0);
constexpr int kDiagonals = way(-1, -1) | way(-1, 1) | way(1, -1) | way(1, 1);
constexpr int kOrthogonals = way(-1, 0) | way(0, -1) | way(0, 1) | way(1, 0);
constexpr int kGold = kOrthogonals | way(-1, -1) | way(-1, 1);
constexpr int kSilver = kDiagonals | kAhead;

struct Reach {
  int steps;   // ways of one square
  int slides;  // ways of any length over empty squares
};

// Per PieceCode & 0x0F. The knight jumps instead; a promoted gold or king, which no move
// makes, moves as its own kind.
constexpr Reach kReach[16] = {
    {kAhead, 0},                     // pawn
    {0, kAhead},                     // lance
    {0, 0},                          // knight
    {kSilver, 0},                    // silver
    {kGold, 0},                      // gold
    {0, kDiagonals},                 // bishop
    {0, kOrthogonals},               // rook
    {kDiagonals | kOrthogonals, 0},  // king
    {kGold, 0},                      // promoted pawn
    {kGold, 0},                      // promoted lance
    {kGold, 0},                      // promoted knight
    {kGold, 0},                      // promoted silver
    {kGold, 0},                      // gold
    {kOrthogonals, kDiagonals},      // horse
    {kDiagonals, kOrthogonals},      // dragon
    {kDiagonals | kOrthogonals, 0},  // king
};

int sign(int v) {
  return (v > 0) - (v < 0);
}

std::uint8_t colour(int side) {
  return side == 0 ? kBlackPiece : kWhitePiece;
}

// +1 for black, whose forward runs towards rank a (index rank 0), -1 for white: a rank
// difference times this is the offset as that side sees it.
int view(int side) {
  return side == 0 ? 1 : -1;
}

// 0 on the side's last rank, 2 on the third from it.
int far_rank(int side, int square) {
  return side == 0 ? square / 9 : 8 - square / 9;
}

bool on_board(int rank, int file) {
  return rank >= 0 && rank < 9 && file >= 0 && file < 9;
}

// A piece of this kind that could never move again from that rank.
bool stuck(int kind, int far) {
  return ((kind == kPawn || kind == kLance) && far == 0) || (kind == kKnight && far <= 1);
}

// Whether the side's piece on from moves onto to (whatever is there) by its steps, its
// jump or a slide whose way is free.
bool reaches(const std::uint8_t* board, int from, int to, int side) {
  const int kind = board[from] & 0x0F;
  const int ranks = to / 9 - from / 9, files = to % 9 - from % 9;
  const int forward = ranks * view(side);
  if (kind == kKnight) return forward == -2 && std::abs(files) == 1;
  const Reach& reach = kReach[kind];
  const int w = way(sign(forward), sign(files));
  if (std::abs(ranks) <= 1 && std::abs(files) <= 1 && (reach.steps & w)) return true;
  if (!(reach.slides & w) || (ranks != 0 && files != 0 && std::abs(ranks) != std::abs(files)))
    return false;
  const int step = 9 * sign(ranks) + sign(files);
  for (int sq = from + step; sq != to; sq += step) {
    if (board[sq] != 0) return false;
  }
  return true;
}

// Looks outwards from the square along the eight lines, and to the two knight squares.
bool attacked(const std::uint8_t* board, int square, int by) {
  const int rank = square / 9, file = square % 9;
  for (int dr = -1; dr <= 1; ++dr) {
    for (int df = -1; df <= 1; ++df) {
      if (dr == 0 && df == 0) continue;
      // A piece out along (dr, df) comes back the other way.
      const int back = way(-dr * view(by), -df);
      for (int n = 1; on_board(rank + n * dr, file + n * df); ++n) {
        const std::uint8_t code = board[9 * (rank + n * dr) + file + n * df];
        if (code == 0) continue;
        const Reach& reach = kReach[code & 0x0F];
        if ((code & colour(by)) && ((reach.slides & back) || (n == 1 && (reach.steps & back))))
          return true;
        break;
      }
    }
  }
  const int knight_rank = rank + 2 * view(by);
  for (int knight_file : {file - 1, file + 1}) {
    if (!on_board(knight_rank, knight_file)) continue;
    const std::uint8_t code = board[9 * knight_rank + knight_file];
    if ((code & colour(by)) && (code & 0x0F) == kKnight) return true;
  }
  return false;
}

bool in_check(const std::uint8_t* board, int side) {
  for (int sq = 0; sq < 81; ++sq) {
    const std::uint8_t code = board[sq];
    if ((code & colour(side)) && (code & kKindMask) == kKing && attacked(board, sq, 1 - side))
      return true;
  }
  return false;
}

bool pawn_on_file(const std::uint8_t* board, int file, int side) {
  for (int sq = file; sq < 81; sq += 9) {
    if ((board[sq] & colour(side)) && (board[sq] & 0x0F) == kPawn) return true;
  }
  return false;
}

// Whether the side, moving from one square to another, keeps its kings out of reach.
bool safe_after(const std::uint8_t* board, int from, int to, int side) {
  std::uint8_t after[81];
  std::memcpy(after, board, sizeof after);
  after[to] = after[from];
  after[from] = 0;
  return !in_check(after, side);
}

// The board holds the dropped pawn. A pawn checks only from next door, where nothing can
// come between: the king answers by stepping away, or something takes the pawn.
bool pawn_drop_mates(const std::uint8_t* board, int to, int side) {
  const int enemy = 1 - side;
  const int king = to - 9 * view(side);
  if (king < 0 || king >= 81) return false;
  if (!(board[king] & colour(enemy)) || (board[king] & kKindMask) != kKing) return false;
  for (int dr = -1; dr <= 1; ++dr) {
    for (int df = -1; df <= 1; ++df) {
      const int rank = king / 9 + dr, file = king % 9 + df;
      if ((dr == 0 && df == 0) || !on_board(rank, file)) continue;
      const int step = 9 * rank + file;
      if (!(board[step] & colour(enemy)) && safe_after(board, king, step, enemy)) return false;
    }
  }
  for (int sq = 0; sq < 81; ++sq) {
    if (sq != king && (board[sq] & colour(enemy)) && reaches(board, sq, to, enemy) &&
        safe_after(board, sq, to, enemy))
      return false;
  }
  return true;
}

bool drop_is_legal(const Position& p, int to, int kind, int side) {
  if (stuck(kind, far_rank(side, to))) return false;
  if (kind == kPawn && pawn_on_file(p.board, to % 9, side)) return false;
  std::uint8_t after[81];
  std::memcpy(after, p.board, sizeof after);
  after[to] = static_cast<std::uint8_t>(kind | colour(side));
  if (in_check(after, side)) return false;
  return kind != kPawn || !pawn_drop_mates(after, to, side);
}

bool board_move_is_legal(const Position& p, int from, int to, int code, int side) {
  if (!reaches(p.board, from, to, side)) return false;
  if (code != (p.board[from] & 0x0F)) {
    if (far_rank(side, from) > 2 && far_rank(side, to) > 2) return false;
  } else if (stuck(code, far_rank(side, to))) {
    return false;
  }
  return safe_after(p.board, from, to, side);
}

}  // namespace

bool csa_move_is_legal(const Position& p, const char* csa, bool flip) {
  if (!csa_move_is_readable(p, csa, flip)) return false;
  const int side = p.side_to_move == 0 ? 0 : 1;
  const int to = csa_square(flip_file(csa[2], flip), csa[3]);
  const int code = csa_piece_kind(csa + 4);
  // A readable move whose from-square starts with "0" is a drop.
  if (csa[0] == '0') return drop_is_legal(p, to, code, side);
  return board_move_is_legal(p, csa_square(flip_file(csa[0], flip), csa[1]), to, code, side);
}
