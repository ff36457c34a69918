// A small opening book: a few positions near the start and the moves played in them, with
// how often each is chosen.
#pragma once

#include <random>
#include <vector>

#include "standin/rules.h"

namespace standin {

struct BookMove {
  Move move;
  int percent;
};

// The book's moves for the position, most played first; empty when it is not in the book.
std::vector<BookMove> book_moves(const Board& b);

// One of them: the first when narrow, otherwise by their shares.
Move choose_book_move(const std::vector<BookMove>& moves, bool narrow, std::mt19937& random);

}  // namespace standin
