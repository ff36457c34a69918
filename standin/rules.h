// The stand-in engine's own rules of shogi: the board, legal moves (drops, promotion and
// forced promotion, one pawn per file, no pawn-drop mate, no move into check), making and
// unmaking moves, repetition keys, and the move notations it speaks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace standin {

// Pieces: kind 1..14 (P L N S G B R K, then +P +L +N +S +B +R), plus kWhite for white's.
enum Kind : std::uint8_t {
  kEmpty = 0,
  kPawn = 1,
  kLance,
  kKnight,
  kSilver,
  kGold,
  kBishop,
  kRook,
  kKing,
  kProPawn,
  kProLance,
  kProKnight,
  kProSilver,
  kHorse,
  kDragon,
};
constexpr std::uint8_t kWhite = 0x10;
constexpr std::uint8_t kKindBits = 0x0F;

inline int kind_of(std::uint8_t piece) {
  return piece & kKindBits;
}
inline int color_of(std::uint8_t piece) {
  return (piece & kWhite) ? 1 : 0;
}
// The kind a captured piece returns to the hand as.
int unpromoted(int kind);
bool can_promote(int kind);
int promoted(int kind);

// Square index: 9 * (rank - 1) + (file - 1); file and rank 1..9.
inline int square(int file, int rank) {
  return 9 * (rank - 1) + (file - 1);
}
inline int file_of(int sq) {
  return sq % 9 + 1;
}
inline int rank_of(int sq) {
  return sq / 9 + 1;
}

constexpr int kDropFrom = 81;

struct Move {
  std::uint8_t from = 0;  // a square, or kDropFrom
  std::uint8_t to = 0;
  std::uint8_t kind = 0;  // the dropped kind, or the moving piece's kind before the move
  bool promote = false;
  bool operator==(const Move& o) const {
    return from == o.from && to == o.to && kind == o.kind && promote == o.promote;
  }
};

struct Board {
  std::uint8_t sq[81] = {};
  std::uint8_t hand[2][8] = {};  // [color][kind 1..7]
  int side = 0;                  // 0 black, 1 white
  std::uint64_t key = 0;         // board, hands and side, for repetition
};

struct Undo {
  std::uint8_t captured = 0;
  std::uint64_t key = 0;
};

constexpr int kMaxMoves = 600;  // more than any position has

struct MoveList {
  Move moves[kMaxMoves];
  int size = 0;
};

void set_start(Board& b);
// False when the text is not a position.
bool set_sfen(Board& b, std::string_view sfen);
std::uint64_t compute_key(const Board& b);

void make_move(Board& b, const Move& m, Undo& u);
void unmake_move(Board& b, const Move& m, const Undo& u);

bool in_check(const Board& b, int color);
bool attacked(const Board& b, int sq, int by_color);
void legal_moves(Board& b, MoveList& list);
// Only the captures and promotions among the legal moves, for the quiescence search.
void legal_captures(Board& b, MoveList& list);
bool is_legal(Board& b, const Move& m);

// Notations. A move read from text is matched against the legal moves: false when it is
// not one of them.
std::string csa_of(const Move& m);  // "7776FU": squares and the piece after the move
bool move_from_csa(Board& b, std::string_view csa, Move& m);
std::string usi_of(const Move& m);
bool move_from_usi(Board& b, std::string_view usi, Move& m);

std::uint64_t perft(Board& b, int depth);

}  // namespace standin
