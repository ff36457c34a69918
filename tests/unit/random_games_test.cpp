// Random games, written as position files and read back by a CSA reader of the test's own:
// the file must hold the same position and moves, and the board copy must end where the
// game ends. The rules here are the test's own (movement, promotion, drops, no second pawn
// on a file, no move into check), independent of the adapter's notation code.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/outbox.h"
#include "notation/moves.h"
#include "notation/position_file.h"

namespace {

const std::string kKinds = "PLNSGBRK";  // the kind order of the CSA hand lines too
const char* kCsaBasic[] = {"FU", "KY", "KE", "GI", "KI", "KA", "HI", "OU"};
const char* kCsaPromoted[] = {"TO", "NY", "NK", "NG", "", "UM", "RY", ""};

struct Piece {
  int kind = -1;  // index into kKinds, -1 empty
  bool promoted = false;
  int side = 0;
};

struct Game {
  Piece sq[10][10];  // [file][rank], 1-based
  int hand[2][8] = {};
  int side = 0;
  bool operator==(const Game& o) const {
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
};

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

struct Move {
  int from_file, from_rank, to_file, to_rank;  // from_file 0: a drop of kind drop
  int drop;
  bool promote;
};

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

// The test's own reading of a CSA position file.
bool read_csa(const std::string& file, bool flip, Game& g, int& moves_read) {
  g = Game();
  std::size_t at = 0;
  auto next_line = [&](std::string& line) {
    std::size_t lf = file.find('\n', at);
    if (lf == std::string::npos) return false;
    line = file.substr(at, lf - at);
    at = lf + 1;
    return true;
  };
  auto code_of = [](const std::string& two, int& kind, bool& promoted) {
    for (int k = 0; k < 8; ++k) {
      if (two == kCsaBasic[k]) return kind = k, promoted = false, true;
      if (*kCsaPromoted[k] && two == kCsaPromoted[k]) return kind = k, promoted = true, true;
    }
    return false;
  };
  auto file_of = [&](char c) { return flip ? 10 - (c - '0') : c - '0'; };
  std::string line;
  for (int r = 1; r <= 9; ++r) {
    if (!next_line(line) || line.size() != 29 || line[0] != 'P' || line[1] != '0' + r) return false;
    for (int cell = 0; cell < 9; ++cell) {
      std::string c = line.substr(2 + 3 * cell, 3);
      int f = flip ? cell + 1 : 9 - cell;
      if (c == " * ") continue;
      Piece p;
      if (!code_of(c.substr(1), p.kind, p.promoted) || (c[0] != '+' && c[0] != '-')) return false;
      p.side = c[0] == '+' ? 0 : 1;
      g.sq[f][r] = p;
    }
  }
  for (int side = 0; side < 2; ++side) {
    if (!next_line(line) || line.compare(0, 2, side == 0 ? "P+" : "P-") != 0) return false;
    for (std::size_t i = 2; i + 4 <= line.size(); i += 4) {
      int kind;
      bool promoted;
      if (line.compare(i, 2, "00") != 0 || !code_of(line.substr(i + 2, 2), kind, promoted))
        return false;
      ++g.hand[side][kind];
    }
  }
  if (!next_line(line) || (line != "+" && line != "-")) return false;
  g.side = line == "+" ? 0 : 1;
  moves_read = 0;
  while (next_line(line)) {
    if (line.size() != 7 || line[0] != (g.side == 0 ? '+' : '-')) return false;
    Move m{};
    int kind;
    bool promoted;
    if (!code_of(line.substr(5, 2), kind, promoted)) return false;
    if (line[1] == '0') {
      m = {0, 0, file_of(line[3]), line[4] - '0', kind, false};
    } else {
      m = {file_of(line[1]), line[2] - '0', file_of(line[3]), line[4] - '0', -1, false};
      m.promote = promoted && !g.sq[m.from_file][m.from_rank].promoted;
    }
    play(g, m);
    ++moves_read;
  }
  return at == file.size();
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

}  // namespace

TEST(RandomGames, PositionFilesReadBackAsTheSameGame) {
  std::mt19937 random(2026);
  int total_moves = 0, captures = 0, drops = 0;
  for (int round = 0; round < 300; ++round) {
    Game g = start_game();
    std::string text;
    Game start;
    const int plies = 20 + static_cast<int>(random() % 120);
    const int sfen_at = round % 2 ? static_cast<int>(random() % plies) : -1;
    std::vector<std::string> listed;
    for (int ply = 0; ply < plies; ++ply) {
      if (ply == sfen_at) text = sfen_of(g, ply + 1), start = g, listed.clear();
      std::vector<Move> moves = candidates(g);
      std::shuffle(moves.begin(), moves.end(), random);
      bool played = false;
      for (const Move& m : moves) {
        Game next = g;
        play(next, m);
        if (in_check(next, g.side)) continue;
        captures += m.from_file != 0 && g.sq[m.to_file][m.to_rank].kind >= 0;
        drops += m.from_file == 0;
        listed.push_back(usi_of(m));
        g = next;
        played = true;
        break;
      }
      if (!played) break;  // mated or stalemated
    }
    if (sfen_at < 0 || text.empty()) {
      text = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
      start = start_game();
    }
    if (!listed.empty()) text += " moves";
    for (const std::string& m : listed) text += " " + m;
    text += "\n";

    const bool flip = round % 3 == 0;
    Position position;
    Outbox out;
    const std::string file = position_file_text(position, text, flip, out);
    EXPECT_EQ(out.text, "") << text;
    Game read;
    int moves_read = 0;
    ASSERT_TRUE(read_csa(file, flip, read, moves_read)) << text << "\n" << file;
    EXPECT_EQ(moves_read, static_cast<int>(listed.size())) << text;
    EXPECT_TRUE(read == g) << text << "\n" << file;
    EXPECT_TRUE(game_of(position) == g) << text;
    total_moves += moves_read;
  }
  EXPECT_GT(total_moves, 10000);
  EXPECT_GT(captures, 1000);
  EXPECT_GT(drops, 200);
}
