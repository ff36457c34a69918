// The stand-in's search: iterative deepening alpha-beta over material and a few positional
// terms, with captures searched to quiescence.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "standin/rules.h"

namespace standin {

constexpr int kMate = 32700;  // minus the plies to the mate

struct Limits {
  std::int64_t time_ms = -1;  // -1: until stopped
  std::uint64_t nodes = 0;    // 0: no limit
  int depth = 0;              // 0: no limit
};

struct Iteration {
  int depth;
  int score;  // from the side to move's view, centipawns
  std::vector<Move> pv;
  std::uint64_t nodes;
  std::int64_t elapsed_ms;
  int hash_use;  // percent of the table in use
};

struct SearchResult {
  bool has_move = false;
  Move best;
  int score = 0;
};

// Searches the position for its side to move, leaving out the excluded moves (unless
// nothing else is left). report is called after every completed depth.
SearchResult search(const Board& root, const Limits& limits, const std::vector<Move>& excluded,
                    const std::atomic<bool>& stop,
                    const std::function<void(const Iteration&)>& report);

int evaluate(const Board& b);  // from the side to move's view

}  // namespace standin
