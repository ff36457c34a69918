// The adapter's copy of the game, in the GUI's orientation.
#pragma once

#include <cstdint>

struct Position {
  std::uint8_t board[81] = {};    // PieceCode per square, 9a first, rank by rank
  std::int8_t hands[16] = {};     // kind + 8 * side
  std::uint8_t side_to_move = 0;  // 0 black, 1 white
  std::int32_t move_number = 0;
};
