// Whole games through the running adapter: the GUI's positions and the engine's replies
// keep the engine, the adapter's board and the position files in step.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

#include "integration/adapter_session.h"
#include "notation/position_file.h"
#include "unit/random_game.h"

namespace {

const char* kBanner = "@start|out|Molvara Version 2.0\n";

}  // namespace

// The engine plays either side, on the board as it is or mirrored: every reply of the GUI
// after the engine's move reaches it as that one CSA move, converted on orv's board, and
// every move of the engine's comes back as the USI move it is on the GUI's board.
TEST(Position, RandomGamesStayInStepWithTheEngine) {
  for (int round = 0; round < 4; ++round) {
    const bool flip = round % 2 == 1;
    const std::size_t first = round / 2;  // the engine's first ply: it plays black, or white
    std::mt19937 random(5 + 6 * round);
    Game game = start_game();
    std::vector<std::string> usi, csa;
    Move m;
    for (int ply = 0; ply < 60 && random_move(game, random, m); ++ply) {
      usi.push_back(usi_of(m));
      csa.push_back(csa_of(game, m, flip));
      play(game, m);
    }
    const std::string name = "whole_game_" + std::to_string(round);
    std::string dir =
        make_test_dir(name, "orv_molvara", "molvara", std::string(kBanner) + "@search|reply|\n");
    std::string replies;
    for (std::size_t i = first; i < usi.size(); i += 2) replies += "move" + csa[i] + "\n";
    write_file(dir + "/fake_replies.txt", replies);

    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "usi\n");
    lines_until(s, "usiok");
    send(s, std::string("setoption name FlipHorizontal value ") + (flip ? "true" : "false") +
                "\nsetoption name BookNum value 0\nusinewgame\n");
    std::string expected = "limit time strict\nresign 32596\nponder off\nbook wide\nbook off\n";
    std::string moves;
    for (std::size_t i = 0; i < first; ++i) moves += " " + usi[i];
    for (std::size_t i = first; i < usi.size(); i += 2) {
      send(s, "position startpos" + (moves.empty() ? "" : " moves" + moves) + "\n");
      send(s, "go btime 120000 wtime 120000 byoyomi 5000\n");
      if (i == first) expected += "read orv.csa\nlimit time 2 5\nmove\n";
      if (i == 2 && first == 0) expected += "read orv.csa\nmove\n";  // after a bare "startpos"
      if (i > 2) expected += csa[i - 1] + "\n";                      // the GUI's reply alone
      ASSERT_EQ(next_line(s), "info currmove " + usi[i]) << i;
      ASSERT_EQ(next_line(s), "bestmove " + usi[i]) << i;
      moves += " " + usi[i];
      if (i + 1 < usi.size()) moves += " " + usi[i + 1];
    }
    // A take-back reloads the position in full.
    std::string shorter = "startpos moves " + usi[0] + " " + usi[1] + "\n";
    send(s, "position " + shorter + "isready\n");
    EXPECT_EQ(next_line(s), "readyok");
    expected += "read orv.csa\n";
    Position position;
    std::string out;
    EXPECT_EQ(read_file(dir + "/orv.csa"),
              position_file_text(position,
                                 "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1 "
                                 "moves " +
                                     usi[0] + " " + usi[1] + "\n",
                                 flip, out));
    // A new game from a position given by SFEN.
    send(s, "usinewgame\nposition sfen " + sfen_of(game, 61) + "\nquit\n");
    expected += "limit time strict\nresign 32596\nponder off\nbook wide\nbook off\nread orv.csa\n";
    EXPECT_EQ(wait_exit(s), 0);
    EXPECT_EQ(engine_commands(dir), expected + "<eof>\n");
  }
}

TEST(Position, RepeatedPositionFilesAcrossRuns) {
  std::string dir = make_test_dir("repeated_position", "orv_molvara", "molvara",
                                  std::string(kBanner) + "@search|out|move3334FU\n");
  const std::string argument = "startpos moves 7g7f\n";
  for (int run = 0; run < 2; ++run) {
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "setoption name AnotherHand value true\nisready\n");
    EXPECT_EQ(next_line(s), "readyok");
    send(s, "position " + argument + "go btime 0\n");
    EXPECT_EQ(next_line(s), "info currmove 3c3d");
    EXPECT_EQ(next_line(s), "bestmove 3c3d");
    EXPECT_EQ(read_file(dir + "/sfenbk.dat"), argument);
    EXPECT_EQ(read_file(dir + "/lastmove.dat"), "3334FU\n");
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0);
    // The same position, in the first run and again in the next: one more record each time.
    EXPECT_EQ(read_file(dir + "/restraint.dat"), run == 0 ? "" : "3334FU\n");
    if (run == 0) {
      EXPECT_FALSE(file_exists(dir + "/restraint.dat"));
      // Without "usinewgame" the book limit is 0: the first position switches the book off.
      EXPECT_EQ(engine_commands(dir), "read orv.csa\nbook off\nlimit time 0 0\nmove\n<eof>\n");
      std::remove((dir + "/commands.log").c_str());
    } else {
      EXPECT_EQ(engine_commands(dir),
                "read orv.csa\nbook off\nlimit time 0 0\nmove restraint\n<eof>\n");
    }
  }
}

// A GUI stepping through positions faster than the engine reads them: each file the engine
// reads is a whole position, never a file orv is still writing.
TEST(Position, TheEngineNeverReadsAHalfWrittenFile) {
  const std::string dir =
      make_test_dir("position_whole_files", "orv_molvara", "molvara",
                    std::string(kBanner) + "read orv.csa|keep|orv.csa\nread orv.csa|sleep|1\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  const char* moves[] = {"7g7f", "3c3d", "2g2f", "8c8d", "2f2e", "8d8e", "6i7h", "4a3b"};
  for (int i = 0; i < 600; ++i) {
    std::string line = "position startpos moves";
    for (int k = 0; k <= i % 8; ++k) line += std::string(" ") + moves[k];
    send(s, line + "\n");
    if (i % 20 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  send(s, "isready\n");
  EXPECT_EQ(lines_until(s, "readyok", 20000).back(), "readyok");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  int whole = 0;
  for (int n = 1; file_exists(dir + "/kept" + std::to_string(n) + ".txt"); ++n) {
    const std::string file = read_text_file(dir + "/kept" + std::to_string(n) + ".txt");
    const std::size_t lines = static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n'));
    EXPECT_TRUE(file.rfind("P1", 0) == 0 && lines >= 13) << "read " << n << ": " << file;
    whole += lines >= 13;
  }
  EXPECT_EQ(whole, 600);  // one for each "read orv.csa"
}
