// The stand-in engine over its pipes, as orv talks to it.
#include <gtest/gtest.h>

#include <chrono>

#include "integration/adapter_session.h"

namespace {

using Clock = std::chrono::steady_clock;

// Lines until one that begins with prefix (that one included).
std::vector<std::string> until_prefix(AdapterSession& s, const std::string& prefix,
                                      int timeout_ms = 10000) {
  std::vector<std::string> lines;
  for (;;) {
    lines.push_back(next_line(s, timeout_ms));
    const std::string& l = lines.back();
    if (l.rfind(prefix, 0) == 0 || l == "<timeout>" || l == "<eof>") return lines;
  }
}

AdapterSession start_standin(const std::string& dir) {
  AdapterSession s;
  EXPECT_TRUE(start_program(s, dir, ORV_STANDIN_PATH));
  EXPECT_EQ(next_line(s), "molvara stand-in 1.0 - The Computer Shogi Engine");
  return s;
}

}  // namespace

TEST(Standin, SearchesAndAnswersWithScoresStatisticsAndItsMove) {
  std::string dir = make_test_dir("standin_search", "unused", "");
  AdapterSession s = start_standin(dir);
  send(s, "book off\nlimit time 0 1\nmove\n");
  auto started = Clock::now();
  auto lines = until_prefix(s, "move");
  EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(1500));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 5), "info+");  // the score in pawns from black's view
  EXPECT_EQ(lines[1].substr(0, 9), "statsatu=");
  EXPECT_EQ(lines.back().size(), 10u);  // "move" and six characters
  close_input(s);
  EXPECT_EQ(wait_exit(s), 0);
}

TEST(Standin, StopsAnUnlimitedSearchAtOnce) {
  std::string dir = make_test_dir("standin_stop", "unused", "");
  AdapterSession s = start_standin(dir);
  send(s, "book off\nlimit time 0 86400\nmove\n");
  // Reports come, but no move while nothing stops the search.
  for (auto until = Clock::now() + std::chrono::milliseconds(300); Clock::now() < until;) {
    std::string line = next_line(s, 20);
    ASSERT_NE(line.substr(0, 4), "move") << line;
  }
  auto stop = Clock::now();
  send(s, "s\n");
  auto lines = until_prefix(s, "move", 2000);
  EXPECT_EQ(lines.back().substr(0, 4), "move");
  // The search looks at the stop between nodes, so the move comes in a few milliseconds;
  // the bound leaves room for a loaded machine under the sanitizers (once 51 ms there).
  EXPECT_LT(Clock::now() - stop, std::chrono::milliseconds(500));
  close_input(s);
  EXPECT_EQ(wait_exit(s), 0);
}

TEST(Standin, BookCandidatesThenTheBookMove) {
  std::string dir = make_test_dir("standin_book", "unused", "");
  AdapterSession s = start_standin(dir);
  send(s, "book on\nbook narrow\nmove\n");
  EXPECT_EQ(next_line(s), "info 7776FU(55%) 2726FU(45%)");
  EXPECT_EQ(next_line(s), "move7776FU");
  send(s, "3334FU\n");  // the opponent's move starts the next search
  EXPECT_EQ(next_line(s), "info 2726FU(50%) 6766FU(50%)");
  EXPECT_EQ(next_line(s), "move2726FU");
  close_input(s);
  EXPECT_EQ(wait_exit(s), 0);
}

TEST(Standin, GameEndsAndRestraint) {
  std::string dir = make_test_dir("standin_end", "unused", "");
  // White to move with no legal move: mated.
  write_file(dir + "/mated.csa",
             "P1 *  *  *  *  *  *  *  * -OU\nP2 *  *  *  *  *  *  * +KI * \n"
             "P3 *  *  *  *  *  *  * +FU * \nP4 *  *  *  *  *  *  *  *  * \n"
             "P5 *  *  *  *  *  *  *  *  * \nP6 *  *  *  *  *  *  *  *  * \n"
             "P7 *  *  *  *  *  *  *  *  * \nP8 *  *  *  *  *  *  *  *  * \n"
             "P9 *  *  *  * +OU *  *  *  * \nP+\nP-\n-\n");
  AdapterSession s = start_standin(dir);
  send(s, "read mated.csa\nmove\nmove\n");
  close_input(s);
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(s.err, "No legal moves to search\nmove after a game was concluded\n");

  // The moves in restraint.dat are avoided.
  AdapterSession r = start_standin(dir);
  write_file(dir + "/restraint.dat", "7776FU\n2726FU\n");
  send(r, "book off\nlimit depth 1\nmove restraint\n");
  auto lines = until_prefix(r, "move");
  EXPECT_NE(lines.back(), "move7776FU");
  EXPECT_NE(lines.back(), "move2726FU");
  close_input(r);
  EXPECT_EQ(wait_exit(r), 0);
}

TEST(Standin, ResignsBelowItsThreshold) {
  std::string dir = make_test_dir("standin_resign", "unused", "");
  write_file(dir + "/lost.csa",
             "P1-HI-HI *  *  *  *  *  * -OU\nP2 *  *  *  *  *  *  *  *  * \n"
             "P3 *  *  *  *  *  *  *  *  * \nP4 *  *  *  *  *  *  *  *  * \n"
             "P5 *  *  *  *  *  *  *  *  * \nP6 *  *  *  *  *  *  *  *  * \n"
             "P7 *  *  *  *  *  *  *  *  * \nP8 *  *  *  *  *  *  *  *  * \n"
             "P9 *  *  *  * +OU *  *  *  * \nP+\nP-00KA00KA00KI00KI\n+\n");
  AdapterSession s = start_standin(dir);
  send(s, "read lost.csa\nresign 1000\nlimit depth 2\nmove\n");
  EXPECT_EQ(until_prefix(s, "resign").back(), "resign");
  close_input(s);
  EXPECT_EQ(wait_exit(s), 0);
}
