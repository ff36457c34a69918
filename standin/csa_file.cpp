#include "standin/csa_file.h"

#include <cstdio>
#include <cstring>

namespace standin {
namespace {

const char* const kCodes[15] = {"",   "FU", "KY", "KE", "GI", "KI", "KA", "HI",
                                "OU", "TO", "NY", "NK", "NG", "UM", "RY"};

int kind_from_code(std::string_view two) {
  for (int k = 1; k < 15; ++k) {
    if (two == kCodes[k]) return k;
  }
  return 0;
}

bool fail(CsaGame& game, const std::string& why) {
  game.error = why;
  return false;
}

bool board_line(std::string_view line, Board& b) {
  const int rank = line[1] - '0';
  if (line.size() < 29) return false;
  for (int cell = 0; cell < 9; ++cell) {
    std::string_view c = line.substr(2 + 3 * cell, 3);
    const int sq = square(9 - cell, rank);
    if (c[1] == '*') {
      b.sq[sq] = kEmpty;
      continue;
    }
    const int kind = kind_from_code(c.substr(1, 2));
    if (kind == 0 || (c[0] != '+' && c[0] != '-')) return false;
    b.sq[sq] = static_cast<std::uint8_t>(kind | (c[0] == '-' ? kWhite : 0));
  }
  return true;
}

bool hand_line(std::string_view line, Board& b) {
  const int color = line[1] == '+' ? 0 : 1;
  for (std::size_t i = 2; i + 4 <= line.size(); i += 4) {
    const int kind = kind_from_code(line.substr(i + 2, 2));
    if (line.substr(i, 2) == "00" && kind >= kPawn && kind <= kRook) {
      ++b.hand[color][kind];
    } else {
      const int f = line[i] - '0', r = line[i + 1] - '0';
      if (f < 1 || f > 9 || r < 1 || r > 9 || kind == 0) return false;
      b.sq[square(f, r)] = static_cast<std::uint8_t>(kind | (color ? kWhite : 0));
    }
  }
  return true;
}

}  // namespace

bool read_csa(std::string_view text, CsaGame& game) {
  game = CsaGame();
  Board b;
  bool moves_started = false;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    // Several statements may share a line, separated by commas.
    while (!raw.empty()) {
      std::size_t comma = raw.find(',');
      std::string_view line = raw.substr(0, comma);
      raw.remove_prefix(comma == std::string_view::npos ? raw.size() : comma + 1);
      if (line.empty() || line[0] == '\'' || line[0] == 'V' || line[0] == 'N' || line[0] == '$' ||
          line[0] == 'T') {
        continue;
      }
      if (line[0] == '%') return game.board = b, true;  // the end of the game
      if (!moves_started && line == "PI") {
        set_start(b);
      } else if (!moves_started && line.size() >= 2 && line[0] == 'P' && line[1] >= '1' &&
                 line[1] <= '9') {
        if (!board_line(line, b)) return fail(game, "bad board line: " + std::string(line));
      } else if (!moves_started && line.size() >= 2 && line[0] == 'P' &&
                 (line[1] == '+' || line[1] == '-')) {
        if (!hand_line(line, b)) return fail(game, "bad hand line: " + std::string(line));
      } else if (line == "+" || line == "-") {
        b.side = line == "+" ? 0 : 1;
        b.key = compute_key(b);
        game.start = b;
      } else if ((line[0] == '+' || line[0] == '-') && line.size() == 7) {
        if (!moves_started) b.key = compute_key(b), game.start = b;
        moves_started = true;
        if ((line[0] == '+') != (b.side == 0))
          return fail(game, "out of turn: " + std::string(line));
        Move m;
        if (!move_from_csa(b, line.substr(1), m))
          return fail(game, "illegal: " + std::string(line));
        Undo u;
        make_move(b, m, u);
        game.moves.push_back(m);
      } else {
        return fail(game, "unknown line: " + std::string(line));
      }
    }
  }
  game.board = b;
  return true;
}

bool read_csa_file(const std::string& path, CsaGame& game) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return fail(game, "cannot open " + path);
  std::string text;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  std::fclose(file);
  return read_csa(text, game);
}

}  // namespace standin
