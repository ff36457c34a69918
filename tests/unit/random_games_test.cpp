// Random games, written as position files and read back by a CSA reader of the test's own:
// the file must hold the same position and moves, and the board copy must end where the
// game ends.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "notation/moves.h"
#include "notation/position_file.h"
#include "unit/random_game.h"

namespace {

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
      Move m;
      if (!random_move(g, random, m)) break;  // mated or stalemated
      captures += m.from_file != 0 && g.sq[m.to_file][m.to_rank].kind >= 0;
      drops += m.from_file == 0;
      listed.push_back(usi_of(m));
      play(g, m);
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
    std::string out;
    const std::string file = position_file_text(position, text, flip, out);
    EXPECT_EQ(out, "") << text;
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
