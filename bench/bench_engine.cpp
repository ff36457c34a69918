// The engine of the benchmarks: answers every search at once, so that what is measured is
// the way through orv. It plays a game of kings: each search steps the king of the side to
// move off its home rank, or back onto it, so a game from the start position goes on for as
// long as the GUI likes, every move legal.
//
//   "read orv.csa"           the game in the file becomes its game
//   a CSA move (5152OU)      the opponent's move, then a search
//   "move", "move restraint" a search
//   "burst N"                the next search prints N score lines first, each with a
//                            20-move variation of the game from there
//   anything else            nothing
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The squares as the engine writes them: file digit, rank digit.
struct Game {
  int king[2] = {59, 51};  // black's, white's
  int side = 0;            // 0 black, 1 white to move
};

bool is_csa_move(const std::string& c) {
  if (c.size() != 6) return false;
  for (int i = 0; i < 4; ++i) {
    if (c[i] < '0' || c[i] > '9') return false;
  }
  return c[4] >= 'A' && c[4] <= 'Z' && c[5] >= 'A' && c[5] <= 'Z';
}

void play(Game& g, const char* move) {
  if (std::strncmp(move + 4, "OU", 2) == 0) g.king[g.side] = (move[2] - '0') * 10 + move[3] - '0';
  g.side ^= 1;
}

// The move of the side to move: its king off the home rank, or back home.
std::string next_move(const Game& g) {
  const int from = g.king[g.side], home = g.side == 0 ? 9 : 1, step = g.side == 0 ? -1 : 1;
  const int to = from % 10 == home ? from + step : from - from % 10 + home;
  char text[32];
  std::snprintf(text, sizeof text, "%02d%02dOU", from, to);
  return text;
}

// The board's kings, the side to move and the moves after them, as orv writes the file.
Game read_game(const char* path) {
  Game g;
  FILE* file = std::fopen(path, "rb");
  if (!file) return g;
  char line[256];
  while (std::fgets(line, sizeof line, file)) {
    if (line[0] == 'P' && line[1] >= '1' && line[1] <= '9') {
      for (int cell = 0; cell < 9 && std::strlen(line) >= 2u + 3 * (cell + 1); ++cell) {
        const char* c = line + 2 + 3 * cell;
        if (std::strncmp(c + 1, "OU", 2) == 0) {
          g.king[c[0] == '+' ? 0 : 1] = (9 - cell) * 10 + line[1] - '0';
        }
      }
    } else if ((line[0] == '+' || line[0] == '-') && (line[1] == '\n' || line[1] == '\r')) {
      g.side = line[0] == '+' ? 0 : 1;
    } else if ((line[0] == '+' || line[0] == '-') && std::strlen(line) >= 7) {
      play(g, line + 1);
    }
  }
  std::fclose(file);
  return g;
}

void search(Game& g, long burst) {
  if (burst > 0) {
    Game line_of_play = g;
    std::string pv;
    for (int i = 0; i < 20; ++i) {
      const std::string m = next_move(line_of_play);
      pv += line_of_play.side == 0 ? " +" : " -";
      pv += m;
      play(line_of_play, m.c_str());
    }
    for (long n = burst; n > 0; --n) std::printf("info+0.%02ld%s\r\n", n % 100, pv.c_str());
  }
  const std::string m = next_move(g);
  std::printf("move%s\r\n", m.c_str());
  play(g, m.c_str());
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  std::printf("molvara bench engine\r\n");
  std::fflush(stdout);
  Game game;
  long burst = 0;
  char line[4096];
  while (std::fgets(line, sizeof line, stdin)) {
    std::string c(line);
    while (!c.empty() && (c.back() == '\n' || c.back() == '\r')) c.pop_back();
    if (c == "read orv.csa") {
      game = read_game("orv.csa");
    } else if (c.rfind("burst ", 0) == 0) {
      burst = std::atol(c.c_str() + 6);
    } else if (c == "move" || c.rfind("move ", 0) == 0 || is_csa_move(c)) {
      if (is_csa_move(c)) play(game, c.c_str());
      search(game, burst);
      burst = 0;
    }
    std::fflush(stdout);
  }
  return 0;
}
