// Reading a CSA game file: the position lines (P1..P9, the hands, PI), the side to move and
// the moves, each checked against the rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "standin/rules.h"

namespace standin {

struct CsaGame {
  Board start;  // the position before the first move
  Board board;  // after the last move
  std::vector<Move> moves;
  std::string error;  // why the text was refused
};

bool read_csa(std::string_view text, CsaGame& game);
bool read_csa_file(const std::string& path, CsaGame& game);

}  // namespace standin
