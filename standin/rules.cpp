#include "standin/rules.h"

#include <cstring>
#include <random>

namespace standin {
namespace {

// The eight neighbour directions (file, rank) and the knight's jumps, for black: rank 1 is
// black's far side, so black's forward is rank - 1.
constexpr int kDirFile[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
constexpr int kDirRank[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
constexpr int kForward = 1 << 1;
constexpr int kDiagonals = (1 << 0) | (1 << 2) | (1 << 5) | (1 << 7);
constexpr int kOrthogonals = (1 << 1) | (1 << 3) | (1 << 4) | (1 << 6);
constexpr int kGoldSteps = (1 << 0) | (1 << 1) | (1 << 2) | (1 << 3) | (1 << 4) | (1 << 6);
constexpr int kSilverSteps = (1 << 0) | (1 << 1) | (1 << 2) | (1 << 5) | (1 << 7);

struct Movement {
  int steps;   // directions moved one square
  int slides;  // directions moved any distance
  bool knight;
};

constexpr Movement kMovement[15] = {
    {0, 0, false},                          // empty
    {kForward, 0, false},                   // pawn
    {0, kForward, false},                   // lance
    {0, 0, true},                           // knight
    {kSilverSteps, 0, false},               // silver
    {kGoldSteps, 0, false},                 // gold
    {0, kDiagonals, false},                 // bishop
    {0, kOrthogonals, false},               // rook
    {kDiagonals | kOrthogonals, 0, false},  // king
    {kGoldSteps, 0, false},                 // promoted pawn
    {kGoldSteps, 0, false},                 // promoted lance
    {kGoldSteps, 0, false},                 // promoted knight
    {kGoldSteps, 0, false},                 // promoted silver
    {kOrthogonals, kDiagonals, false},      // horse
    {kDiagonals, kOrthogonals, false},      // dragon
};

// Direction d as seen by color: white's forward is rank + 1.
int dir_rank(int d, int color) {
  return color == 0 ? kDirRank[d] : -kDirRank[d];
}
// The direction that undoes d.
int reverse_dir(int d) {
  return 7 - d;
}

struct Keys {
  std::uint64_t piece[81][32];
  std::uint64_t hand[2][8];
  std::uint64_t side;
  Keys() {
    std::mt19937_64 random(0x5eed5eedULL);
    for (auto& square : piece)
      for (auto& k : square) k = random();
    for (auto& color : hand)
      for (auto& k : color) k = random();
    side = random();
  }
};
const Keys keys;

const char* const kCsaCodes[15] = {"",   "FU", "KY", "KE", "GI", "KI", "KA", "HI",
                                   "OU", "TO", "NY", "NK", "NG", "UM", "RY"};
const char kSfenLetters[] = " PLNSGBRK";

bool on_board(int file, int rank) {
  return file >= 1 && file <= 9 && rank >= 1 && rank <= 9;
}

// How far from its own side's far edge a rank is for color: 1 is the last rank.
int far_rank(int color, int rank) {
  return color == 0 ? rank : 10 - rank;
}

void add_board_move(const Board& b, int from, int to, MoveList& list) {
  const int kind = kind_of(b.sq[from]);
  const int color = b.side;
  if (can_promote(kind) &&
      (far_rank(color, rank_of(from)) <= 3 || far_rank(color, rank_of(to)) <= 3)) {
    const int far = far_rank(color, rank_of(to));
    const bool forced =
        ((kind == kPawn || kind == kLance) && far == 1) || (kind == kKnight && far <= 2);
    list.moves[list.size++] = {static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to),
                               static_cast<std::uint8_t>(kind), true};
    if (forced) return;
  }
  list.moves[list.size++] = {static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to),
                             static_cast<std::uint8_t>(kind), false};
}

void board_moves(const Board& b, MoveList& list, bool captures_only) {
  const int color = b.side;
  for (int from = 0; from < 81; ++from) {
    const std::uint8_t piece = b.sq[from];
    if (piece == kEmpty || color_of(piece) != color) continue;
    const Movement& m = kMovement[kind_of(piece)];
    const int f = file_of(from), r = rank_of(from);
    auto target = [&](int tf, int tr) {
      // Returns whether a slide goes on past this square.
      if (!on_board(tf, tr)) return false;
      const int to = square(tf, tr);
      const std::uint8_t there = b.sq[to];
      if (there != kEmpty && color_of(there) == color) return false;
      if (!captures_only || there != kEmpty ||
          (can_promote(kind_of(piece)) && far_rank(color, tr) <= 3)) {
        add_board_move(b, from, to, list);
      }
      return there == kEmpty;
    };
    for (int d = 0; d < 8; ++d) {
      const int df = kDirFile[d], dr = dir_rank(d, color);
      if (m.steps & (1 << d)) target(f + df, r + dr);
      if (m.slides & (1 << d)) {
        for (int n = 1; target(f + n * df, r + n * dr); ++n) {
        }
      }
    }
    if (m.knight) {
      const int dr = color == 0 ? -2 : 2;
      target(f - 1, r + dr);
      target(f + 1, r + dr);
    }
  }
}

void drop_moves(const Board& b, MoveList& list) {
  const int color = b.side;
  bool pawn_on_file[10] = {};
  for (int sq = 0; sq < 81; ++sq) {
    if (b.sq[sq] == (kPawn | (color ? kWhite : 0))) pawn_on_file[file_of(sq)] = true;
  }
  for (int kind = kPawn; kind <= kRook; ++kind) {
    if (b.hand[color][kind] == 0) continue;
    for (int to = 0; to < 81; ++to) {
      if (b.sq[to] != kEmpty) continue;
      const int far = far_rank(color, rank_of(to));
      if ((kind == kPawn || kind == kLance) && far == 1) continue;
      if (kind == kKnight && far <= 2) continue;
      if (kind == kPawn && pawn_on_file[file_of(to)]) continue;
      list.moves[list.size++] = {kDropFrom, static_cast<std::uint8_t>(to),
                                 static_cast<std::uint8_t>(kind), false};
    }
  }
}

int king_square(const Board& b, int color) {
  const std::uint8_t king = kKing | (color ? kWhite : 0);
  for (int sq = 0; sq < 81; ++sq) {
    if (b.sq[sq] == king) return sq;
  }
  return -1;
}

bool has_legal_move(Board& b);

// A pawn dropped straight in front of the enemy king that leaves it no move.
bool is_pawn_drop_mate(Board& b, const Move& m) {
  if (m.from != kDropFrom || m.kind != kPawn) return false;
  const int enemy = 1 - b.side;
  const int ahead = rank_of(m.to) + (b.side == 0 ? -1 : 1);
  if (!on_board(file_of(m.to), ahead)) return false;
  if (b.sq[square(file_of(m.to), ahead)] != (kKing | (enemy ? kWhite : 0))) return false;
  Undo u;
  make_move(b, m, u);
  const bool mate = !has_legal_move(b);
  unmake_move(b, m, u);
  return mate;
}

void filter_legal(Board& b, MoveList& pseudo, MoveList& list, bool check_drop_mate) {
  list.size = 0;
  const int mover = b.side;
  for (int i = 0; i < pseudo.size; ++i) {
    const Move& m = pseudo.moves[i];
    Undo u;
    make_move(b, m, u);
    const bool legal = !in_check(b, mover);
    unmake_move(b, m, u);
    if (legal && (!check_drop_mate || !is_pawn_drop_mate(b, m))) list.moves[list.size++] = m;
  }
}

bool has_legal_move(Board& b) {
  MoveList pseudo, legal;
  board_moves(b, pseudo, false);
  drop_moves(b, pseudo);
  filter_legal(b, pseudo, legal, false);
  return legal.size > 0;
}

}  // namespace

int unpromoted(int kind) {
  switch (kind) {
    case kProPawn:
      return kPawn;
    case kProLance:
      return kLance;
    case kProKnight:
      return kKnight;
    case kProSilver:
      return kSilver;
    case kHorse:
      return kBishop;
    case kDragon:
      return kRook;
    default:
      return kind;
  }
}

bool can_promote(int kind) {
  return kind == kPawn || kind == kLance || kind == kKnight || kind == kSilver || kind == kBishop ||
         kind == kRook;
}

int promoted(int kind) {
  switch (kind) {
    case kPawn:
      return kProPawn;
    case kLance:
      return kProLance;
    case kKnight:
      return kProKnight;
    case kSilver:
      return kProSilver;
    case kBishop:
      return kHorse;
    case kRook:
      return kDragon;
    default:
      return kind;
  }
}

std::uint64_t compute_key(const Board& b) {
  std::uint64_t key = b.side ? keys.side : 0;
  for (int sq = 0; sq < 81; ++sq) {
    if (b.sq[sq]) key ^= keys.piece[sq][b.sq[sq]];
  }
  for (int c = 0; c < 2; ++c)
    for (int k = 1; k < 8; ++k) key += keys.hand[c][k] * b.hand[c][k];
  return key;
}

void set_start(Board& b) {
  set_sfen(b, "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1");
}

bool set_sfen(Board& b, std::string_view sfen) {
  Board n;
  std::size_t i = 0;
  int rank = 1, file = 9;
  bool plus = false;
  for (; i < sfen.size() && sfen[i] != ' '; ++i) {
    const char c = sfen[i];
    if (c == '/') {
      if (file != 0) return false;
      ++rank, file = 9;
    } else if (c >= '1' && c <= '9') {
      file -= c - '0';
    } else if (c == '+') {
      plus = true;
    } else {
      const char upper = static_cast<char>(c >= 'a' ? c - 32 : c);
      const char* at = std::strchr(kSfenLetters + 1, upper);
      if (!at || file < 1 || rank > 9 || upper == '\0') return false;
      int kind = static_cast<int>(at - kSfenLetters);
      if (plus) kind = promoted(kind);
      n.sq[square(file, rank)] = static_cast<std::uint8_t>(kind | (c >= 'a' ? kWhite : 0));
      --file, plus = false;
    }
    if (file < 0) return false;
  }
  if (rank != 9 || file != 0 || i + 2 >= sfen.size()) return false;
  n.side = sfen[i + 1] == 'w' ? 1 : 0;
  int count = 0;
  for (i += 3; i < sfen.size() && sfen[i] != ' '; ++i) {
    const char c = sfen[i];
    if (c == '-') continue;
    if (c >= '0' && c <= '9') {
      count = count * 10 + (c - '0');
      continue;
    }
    const char upper = static_cast<char>(c >= 'a' ? c - 32 : c);
    const char* at = std::strchr(kSfenLetters + 1, upper);
    if (!at || upper == 'K' || upper == '\0') return false;
    n.hand[c >= 'a' ? 1 : 0][at - kSfenLetters] = static_cast<std::uint8_t>(count ? count : 1);
    count = 0;
  }
  n.key = compute_key(n);
  b = n;
  return true;
}

void make_move(Board& b, const Move& m, Undo& u) {
  u.key = b.key;
  const std::uint8_t color_bit = b.side ? kWhite : 0;
  if (m.from == kDropFrom) {
    u.captured = kEmpty;
    --b.hand[b.side][m.kind];
    b.key -= keys.hand[b.side][m.kind];
    b.sq[m.to] = static_cast<std::uint8_t>(m.kind | color_bit);
  } else {
    u.captured = b.sq[m.to];
    if (u.captured) {
      const int gained = unpromoted(kind_of(u.captured));
      ++b.hand[b.side][gained];
      b.key += keys.hand[b.side][gained];
      b.key ^= keys.piece[m.to][u.captured];
    }
    b.key ^= keys.piece[m.from][b.sq[m.from]];
    const int kind = m.promote ? promoted(m.kind) : m.kind;
    b.sq[m.to] = static_cast<std::uint8_t>(kind | color_bit);
    b.sq[m.from] = kEmpty;
  }
  b.key ^= keys.piece[m.to][b.sq[m.to]];
  b.side = 1 - b.side;
  b.key ^= keys.side;
}

void unmake_move(Board& b, const Move& m, const Undo& u) {
  b.side = 1 - b.side;
  const std::uint8_t color_bit = b.side ? kWhite : 0;
  if (m.from == kDropFrom) {
    ++b.hand[b.side][m.kind];
    b.sq[m.to] = kEmpty;
  } else {
    b.sq[m.from] = static_cast<std::uint8_t>(m.kind | color_bit);
    b.sq[m.to] = u.captured;
    if (u.captured) --b.hand[b.side][unpromoted(kind_of(u.captured))];
  }
  b.key = u.key;
}

bool attacked(const Board& b, int sq, int by) {
  const int f = file_of(sq), r = rank_of(sq);
  for (int d = 0; d < 8; ++d) {
    // Look from sq along d; an attacker there must move along the reverse direction.
    const int df = kDirFile[d], dr = dir_rank(d, by);
    const int back = reverse_dir(d);
    for (int n = 1;; ++n) {
      const int tf = f + n * df, tr = r + n * dr;
      if (!on_board(tf, tr)) break;
      const std::uint8_t piece = b.sq[square(tf, tr)];
      if (piece == kEmpty) continue;
      if (color_of(piece) == by) {
        const Movement& m = kMovement[kind_of(piece)];
        if ((m.slides & (1 << back)) || (n == 1 && (m.steps & (1 << back)))) return true;
      }
      break;
    }
  }
  // A knight two ranks behind sq (from the attacker's side) and one file aside.
  const int kr = r + (by == 0 ? 2 : -2);
  for (int kf : {f - 1, f + 1}) {
    if (on_board(kf, kr) && b.sq[square(kf, kr)] == (kKnight | (by ? kWhite : 0))) return true;
  }
  return false;
}

bool in_check(const Board& b, int color) {
  const int king = king_square(b, color);
  return king >= 0 && attacked(b, king, 1 - color);
}

void legal_moves(Board& b, MoveList& list) {
  MoveList pseudo;
  board_moves(b, pseudo, false);
  drop_moves(b, pseudo);
  filter_legal(b, pseudo, list, true);
}

void legal_captures(Board& b, MoveList& list) {
  MoveList pseudo;
  board_moves(b, pseudo, true);
  filter_legal(b, pseudo, list, false);
}

bool is_legal(Board& b, const Move& m) {
  MoveList list;
  legal_moves(b, list);
  for (int i = 0; i < list.size; ++i) {
    if (list.moves[i] == m) return true;
  }
  return false;
}

std::string csa_of(const Move& m) {
  std::string s;
  if (m.from == kDropFrom) {
    s = "00";
  } else {
    s = {static_cast<char>('0' + file_of(m.from)), static_cast<char>('0' + rank_of(m.from))};
  }
  s += {static_cast<char>('0' + file_of(m.to)), static_cast<char>('0' + rank_of(m.to))};
  return s + kCsaCodes[m.promote ? promoted(m.kind) : m.kind];
}

bool move_from_csa(Board& b, std::string_view csa, Move& m) {
  MoveList list;
  legal_moves(b, list);
  for (int i = 0; i < list.size; ++i) {
    if (csa_of(list.moves[i]) == csa) {
      m = list.moves[i];
      return true;
    }
  }
  return false;
}

std::string usi_of(const Move& m) {
  std::string s;
  if (m.from == kDropFrom) {
    s = {kSfenLetters[m.kind], '*'};
  } else {
    s = {static_cast<char>('0' + file_of(m.from)), static_cast<char>('a' + rank_of(m.from) - 1)};
  }
  s += {static_cast<char>('0' + file_of(m.to)), static_cast<char>('a' + rank_of(m.to) - 1)};
  if (m.promote) s += '+';
  return s;
}

bool move_from_usi(Board& b, std::string_view usi, Move& m) {
  MoveList list;
  legal_moves(b, list);
  for (int i = 0; i < list.size; ++i) {
    if (usi_of(list.moves[i]) == usi) {
      m = list.moves[i];
      return true;
    }
  }
  return false;
}

std::uint64_t perft(Board& b, int depth) {
  MoveList list;
  legal_moves(b, list);
  if (depth <= 1) return depth == 1 ? static_cast<std::uint64_t>(list.size) : 1;
  std::uint64_t total = 0;
  for (int i = 0; i < list.size; ++i) {
    Undo u;
    make_move(b, list.moves[i], u);
    total += perft(b, depth - 1);
    unmake_move(b, list.moves[i], u);
  }
  return total;
}

}  // namespace standin
