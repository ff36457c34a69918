#include "unit/random_game.h"

#include <algorithm>
#include <cctype>

#include "notation/moves.h"

const std::string kKinds = "PLNSGBRK";
const char* kCsaBasic[8] = {"FU", "KY", "KE", "GI", "KI", "KA", "HI", "OU"};
const char* kCsaPromoted[8] = {"TO", "NY", "NK", "NG", "", "UM", "RY", ""};

bool Game::operator==(const Game& o) const {
  for (int f = 1; f <= 9; ++f)
    for (int r = 1; r <= 9; ++r) {
      const Piece &a = sq[f][r], &b = o.sq[f][r];
      if (a.kind != b.kind || (a.kind >= 0 && (a.promoted != b.promoted || a.side != b.side)))
        return false;
    }
  for (int s = 0; s < 2; ++s)
    for (int k = 0; k < 8; ++k)
      if (hand[s][k] != o.hand[s][k]) return false;
  return side == o.side;
}

Game start_game() {
  Game g;
  const std::string back = "LNSGKGSNL";
  for (int f = 1; f <= 9; ++f) {
    g.sq[f][1] = {static_cast<int>(kKinds.find(back[9 - f])), false, 1};
    g.sq[f][9] = {static_cast<int>(kKinds.find(back[9 - f])), false, 0};
    g.sq[f][3] = {0, false, 1};
    g.sq[f][7] = {0, false, 0};
  }
  g.sq[8][2] = {6, false, 1}, g.sq[2][2] = {5, false, 1};
  g.sq[2][8] = {6, false, 0}, g.sq[8][8] = {5, false, 0};
  return g;
}

namespace {

bool gold_like(const Piece& p) {
  return p.kind == 4 || (p.promoted && p.kind <= 3);
}

// Steps (file, rank) of a piece for black; white's are mirrored in rank.
void piece_steps(const Piece& p, std::vector<std::pair<int, int>>& steps, bool& slides) {
  slides = false;
  steps.clear();
  auto add = [&](std::initializer_list<std::pair<int, int>> list) {
    for (auto s : list) steps.push_back({s.first, p.side == 0 ? s.second : -s.second});
  };
  if (gold_like(p)) return add({{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {0, 1}});
  switch (p.kind) {
    case 0:
      return add({{0, -1}});
    case 1:
      slides = true;
      return add({{0, -1}});
    case 2:
      return add({{-1, -2}, {1, -2}});
    case 3:
      return add({{-1, -1}, {0, -1}, {1, -1}, {-1, 1}, {1, 1}});
    case 7:
      return add({{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}});
    default:
      break;
  }
  slides = true;  // bishop, rook and their promoted forms
  if (p.kind == 5) add({{-1, -1}, {1, -1}, {-1, 1}, {1, 1}});
  if (p.kind == 6) add({{0, -1}, {0, 1}, {-1, 0}, {1, 0}});
}

// Rank seen from the side: 1 is the far rank.
int far_rank(int side, int rank) {
  return side == 0 ? rank : 10 - rank;
}

void board_moves(const Game& g, int side, std::vector<Move>& out) {
  std::vector<std::pair<int, int>> steps;
  bool slides;
  for (int f = 1; f <= 9; ++f)
    for (int r = 1; r <= 9; ++r) {
      const Piece& p = g.sq[f][r];
      if (p.kind < 0 || p.side != side) continue;
      piece_steps(p, steps, slides);
      auto try_to = [&](int tf, int tr, bool& stop) {
        stop = true;
        if (tf < 1 || tf > 9 || tr < 1 || tr > 9) return;
        const Piece& t = g.sq[tf][tr];
        if (t.kind >= 0 && t.side == side) return;
        stop = t.kind >= 0;
        bool zone = far_rank(side, r) <= 3 || far_rank(side, tr) <= 3;
        bool can = zone && !p.promoted && p.kind != 4 && p.kind != 7;
        bool must = can && ((p.kind <= 1 && far_rank(side, tr) == 1) ||
                            (p.kind == 2 && far_rank(side, tr) <= 2));
        if (!must) out.push_back({f, r, tf, tr, -1, false});
        if (can) out.push_back({f, r, tf, tr, -1, true});
      };
      for (auto s : steps) {
        bool stop = false;
        for (int n = 1; n <= (slides ? 8 : 1) && !stop; ++n)
          try_to(f + s.first * n, r + s.second * n, stop);
      }
      // A horse also steps orthogonally, a dragon diagonally.
      if (p.promoted && (p.kind == 5 || p.kind == 6)) {
        for (int df = -1; df <= 1; ++df)
          for (int dr = -1; dr <= 1; ++dr) {
            bool stop;
            if ((df || dr) && (p.kind == 5 ? (df == 0 || dr == 0) : (df != 0 && dr != 0)))
              try_to(f + df, r + dr, stop);
          }
      }
    }
}

}  // namespace

void play(Game& g, const Move& m) {
  if (m.from_file == 0) {
    --g.hand[g.side][m.drop];
    g.sq[m.to_file][m.to_rank] = {m.drop, false, g.side};
  } else {
    Piece& to = g.sq[m.to_file][m.to_rank];
    if (to.kind >= 0) ++g.hand[g.side][to.kind];
    to = g.sq[m.from_file][m.from_rank];
    to.promoted = to.promoted || m.promote;
    g.sq[m.from_file][m.from_rank] = Piece();
  }
  g.side = 1 - g.side;
}

bool in_check(const Game& g, int side) {
  std::vector<Move> replies;
  board_moves(g, 1 - side, replies);
  for (const Move& m : replies) {
    const Piece& t = g.sq[m.to_file][m.to_rank];
    if (t.kind == 7 && t.side == side) return true;
  }
  return false;
}

std::vector<Move> candidates(const Game& g) {
  std::vector<Move> moves;
  board_moves(g, g.side, moves);
  for (int k = 0; k < 7; ++k) {
    if (g.hand[g.side][k] == 0) continue;
    for (int f = 1; f <= 9; ++f) {
      bool pawn_on_file = false;
      for (int r = 1; r <= 9; ++r) {
        const Piece& p = g.sq[f][r];
        pawn_on_file |= p.kind == 0 && !p.promoted && p.side == g.side;
      }
      if (k == 0 && pawn_on_file) continue;
      for (int r = 1; r <= 9; ++r) {
        int far = far_rank(g.side, r);
        if (g.sq[f][r].kind >= 0 || (k <= 1 && far == 1) || (k == 2 && far <= 2)) continue;
        moves.push_back({0, 0, f, r, k, false});
      }
    }
  }
  return moves;
}

std::string usi_of(const Move& m) {
  std::string s;
  if (m.from_file == 0) {
    s = {kKinds[m.drop], '*'};
  } else {
    s = {static_cast<char>('0' + m.from_file), static_cast<char>('a' + m.from_rank - 1)};
  }
  s += {static_cast<char>('0' + m.to_file), static_cast<char>('a' + m.to_rank - 1)};
  if (m.promote) s += '+';
  return s;
}

std::string sfen_of(const Game& g, int move_count) {
  std::string s;
  for (int r = 1; r <= 9; ++r) {
    int empty = 0;
    for (int f = 9; f >= 1; --f) {
      const Piece& p = g.sq[f][r];
      if (p.kind < 0) {
        ++empty;
        continue;
      }
      if (empty) s += static_cast<char>('0' + empty), empty = 0;
      if (p.promoted) s += '+';
      s += p.side == 0 ? kKinds[p.kind] : static_cast<char>(std::tolower(kKinds[p.kind]));
    }
    if (empty) s += static_cast<char>('0' + empty);
    if (r < 9) s += '/';
  }
  s += g.side == 0 ? " b " : " w ";
  std::string hands;
  for (int side = 0; side < 2; ++side)
    for (int k = 6; k >= 0; --k) {
      int n = g.hand[side][k];
      if (n == 0) continue;
      if (n > 1) hands += std::to_string(n);
      hands += side == 0 ? kKinds[k] : static_cast<char>(std::tolower(kKinds[k]));
    }
  return s + (hands.empty() ? "-" : hands) + " " + std::to_string(move_count);
}

bool random_move(const Game& g, std::mt19937& random, Move& move) {
  std::vector<Move> moves = candidates(g);
  std::shuffle(moves.begin(), moves.end(), random);
  for (const Move& m : moves) {
    Game next = g;
    play(next, m);
    if (in_check(next, g.side)) continue;
    move = m;
    return true;
  }
  return false;
}

std::string csa_of(const Game& before, const Move& m, bool flip) {
  auto file = [&](int f) { return static_cast<char>('0' + (flip ? 10 - f : f)); };
  std::string s;
  if (m.from_file == 0) {
    s = "00";
  } else {
    s = {file(m.from_file), static_cast<char>('0' + m.from_rank)};
  }
  s += {file(m.to_file), static_cast<char>('0' + m.to_rank)};
  if (m.from_file == 0) return s + kCsaBasic[m.drop];
  const Piece& p = before.sq[m.from_file][m.from_rank];
  return s + (p.promoted || m.promote ? kCsaPromoted[p.kind] : kCsaBasic[p.kind]);
}

Game game_of(const Position& p) {
  Game g;
  for (int i = 0; i < 81; ++i) {
    std::uint8_t c = p.board[i];
    if (c == 0) continue;
    g.sq[9 - i % 9][i / 9 + 1] = {c & kKindMask, (c & kPromoted) != 0, (c & kBlackPiece) ? 0 : 1};
  }
  for (int s = 0; s < 2; ++s)
    for (int k = 0; k < 8; ++k) g.hand[s][k] = p.hands[k + 8 * s];
  g.side = p.side_to_move;
  return g;
}
