// Which "position" continues the last one by the engine's move and one move more: the one
// new move that is sent alone, as the search command.
#include <gtest/gtest.h>

#include "front/position_command.h"

TEST(SingleNewMove, WhenTheArgumentGrowsByBestmoveAndOneMove) {
  const struct {
    const char* previous;
    const char* bestmove;
    const char* argument;
    bool single;
  } cases[] = {
      {"startpos moves 7g7f\n", "3c3d", "startpos moves 7g7f 3c3d 2g2f\n", true},
      {"startpos moves 7g7f\n", "3c3d", "startpos moves 7g7f 3c3d 8h2b+\n", true},
      {"startpos moves 7g7f\n", "3c3d", "startpos moves 7g7f 3c3d 2g2f 8c8d\n", false},
      {"startpos\n", "7g7f", "startpos moves 7g7f 3c3d\n", false},
      {"", "7g7f", "startpos moves 7g7f 3c3d\n", false},
      {"startpos moves 7g7f 3c3d\n", "", "startpos moves 7g7f 3c3d 8h2b+\n", false},  // none
      {"startpos moves 7g7f\n", "3c3d", "startpos moves 7g7f 3c3e 2g2f\n", false},
      {"startpos moves 2g2f\n", "3c3d", "startpos moves 7g7f 3c3d 2g2f\n", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_single_new_move(c.argument, c.previous, c.bestmove), c.single) << c.argument;
  }
}
