#include "standin/book.h"

#include <map>
#include <sstream>
#include <string>

namespace standin {
namespace {

struct Line {
  const char* moves;       // from the start position, USI
  const char* candidates;  // "move percent ..."
};

const Line kLines[] = {
    {"", "7g7f 55 2g2f 45"},
    {"7g7f", "3c3d 55 8c8d 45"},
    {"2g2f", "8c8d 50 3c3d 50"},
    {"7g7f 3c3d", "2g2f 50 6g6f 50"},
    {"7g7f 8c8d", "2g2f 60 6g6f 40"},
    {"2g2f 8c8d", "2f2e 60 7g7f 40"},
    {"2g2f 3c3d", "7g7f 100"},
    {"7g7f 3c3d 2g2f", "4c4d 60 8c8d 40"},
    {"2g2f 8c8d 2f2e", "8d8e 70 4a3b 30"},
};

std::map<std::uint64_t, std::vector<BookMove>> build() {
  std::map<std::uint64_t, std::vector<BookMove>> book;
  for (const Line& line : kLines) {
    Board b;
    set_start(b);
    std::istringstream moves(line.moves);
    std::string usi;
    bool ok = true;
    while (ok && moves >> usi) {
      Move m;
      Undo u;
      ok = move_from_usi(b, usi, m);
      if (ok) make_move(b, m, u);
    }
    std::istringstream candidates(line.candidates);
    int percent;
    while (ok && candidates >> usi >> percent) {
      Move m;
      if (move_from_usi(b, usi, m)) book[b.key].push_back({m, percent});
    }
  }
  return book;
}

}  // namespace

std::vector<BookMove> book_moves(const Board& b) {
  static const std::map<std::uint64_t, std::vector<BookMove>> book = build();
  auto it = book.find(b.key);
  return it == book.end() ? std::vector<BookMove>() : it->second;
}

Move choose_book_move(const std::vector<BookMove>& moves, bool narrow, std::mt19937& random) {
  if (narrow) return moves.front().move;
  int total = 0;
  for (const BookMove& m : moves) total += m.percent;
  int pick = static_cast<int>(random() % static_cast<unsigned>(total));
  for (const BookMove& m : moves) {
    if ((pick -= m.percent) < 0) return m.move;
  }
  return moves.front().move;
}

}  // namespace standin
