// The engine's output and error lines as the GUI receives them through the running adapter.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "integration/adapter_session.h"

namespace {

using Clock = std::chrono::steady_clock;

// The number after "info time " in a score line, or -1.
long time_of(const std::string& line) {
  if (line.compare(0, 10, "info time ") != 0) return -1;
  return std::atol(line.c_str() + 10);
}

}  // namespace

TEST(Translate, SearchReportsReachTheGuiAsUsiLines) {
  std::string dir = make_test_dir("translate_search", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\n"
                                  "move|out|info 7776FU(60%) 2726FU(40%)\n"
                                  "move|out|info-0.35 +7776FU -3334FU\n"
                                  "move|out|statsatu=12 nodes=34 nps=56\n"
                                  "move|out|info ponder start\n"
                                  "move|out|pong\n"
                                  "move|out|what is this\n"
                                  "move|out|move7776FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "isready\ngo btime 0\n");
  EXPECT_EQ(next_line(s), "readyok");
  EXPECT_EQ(next_line(s), "info nodes 40 pv 2g2f");
  EXPECT_EQ(next_line(s), "info nodes 60 pv 7g7f");
  EXPECT_EQ(next_line(s), platform_text(kClosingLine));
  std::string score = next_line(s);
  EXPECT_GE(time_of(score), 0) << score;
  EXPECT_LT(time_of(score), 2000) << score;
  EXPECT_EQ(score.substr(score.find(" depth")), " depth 2 score cp -35 pv 7g7f 3c3d");
  EXPECT_EQ(next_line(s), "info nps 560 hashfull 120");
  EXPECT_EQ(next_line(s), "what is this" + platform_text(kMolvUnexpected));
  EXPECT_EQ(next_line(s), "info currmove 7g7f");
  EXPECT_EQ(next_line(s), "bestmove 7g7f");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(rest_of_output(s), "");
}

// The restart follows the analysis, not the GUI's last line: an "isready" while the book
// move is on its way does not turn it into a bestmove.
TEST(Translate, InfBookRestartSearchesWithTheBookOff) {
  std::string dir = make_test_dir("translate_infbook", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\n"
                                  "move#1|out|info 7776FU(60%)\n"
                                  "move#1|sleep|500\n"
                                  "move#1|out|move7776FU\n"
                                  "move#2|out|info-0.10 +2726FU\n"
                                  "move#2|out|move2726FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "setoption name InfBook value true\nsetoption name BookNum value 10\nusi\n");
  lines_until(s, "usiok");
  send(s, "usinewgame\ngo infinite\n");
  EXPECT_EQ(next_line(s), "info nodes 60 pv 7g7f");
  EXPECT_EQ(next_line(s), platform_text(kClosingLine));
  send(s, "isready\n");
  EXPECT_EQ(next_line(s), "readyok");
  std::string score = next_line(s);
  EXPECT_EQ(score.substr(score.find(" depth")), " depth 1 score cp -10 pv 2g2f");
  EXPECT_EQ(next_line(s), "info currmove 2g2f");
  send(s, "stop\n");  // the analysis's bestmove comes after the GUI's stop
  EXPECT_EQ(next_line(s), "bestmove 2g2f");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(engine_commands(dir),
            "limit time strict\nresign 32596\nponder off\nbook wide\nbook on\n"
            "book on\nlimit time 0 86400\nmove\n"
            "read orv.csa\nbook off\nlimit time 0 86400\nmove\ns\n<eof>\n");
}

// The GUI's analysis window: the player follows the engine's suggestion and answers it.
TEST(Translate, AnalysisAfterASingleNewMoveSearchesTheBoardShown) {
  std::string dir = make_test_dir("translate_analysis", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\n"
                                  "read orv.csa|keep|orv.csa\n"
                                  "move#1|out|info-0.20 -3334FU\n"
                                  "s#1|out|move3334FU\n"
                                  "2726FU|out|info 8384FU(50%) 4132KI(50%)\n"
                                  "2726FU|out|move8384FU\n"
                                  "move#2|out|info+0.10 -8384FU +2625FU\n"
                                  "s#2|out|move8384FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "setoption name InfBook value true\nusi\n");
  lines_until(s, "usiok");
  send(s, "isready\nusinewgame\nposition startpos moves 7g7f\ngo infinite\n");
  EXPECT_EQ(next_line(s), "readyok");
  std::string score = next_line(s);
  EXPECT_EQ(score.substr(score.find(" depth")), " depth 1 score cp 20 pv 3c3d");
  send(s, "stop\n");
  EXPECT_EQ(next_line(s), "info currmove 3c3d");
  EXPECT_EQ(next_line(s), "bestmove 3c3d");
  send(s, "position startpos moves 7g7f 3c3d 2g2f\ngo infinite\n");
  EXPECT_EQ(next_line(s), "info nodes 50 pv 4a3b");
  EXPECT_EQ(next_line(s), "info nodes 50 pv 8c8d");
  EXPECT_EQ(next_line(s), platform_text(kClosingLine));
  // The book's answer is searched again; the variation is White's, from the board shown.
  score = next_line(s);
  EXPECT_EQ(score.substr(score.find(" depth")), " depth 2 score cp -10 pv 8c8d 2f2e");
  send(s, "stop\n");
  EXPECT_EQ(next_line(s), "info currmove 8c8d");
  EXPECT_EQ(next_line(s), "bestmove 8c8d");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(engine_commands(dir),
            "limit time strict\nresign 32596\nponder off\nbook wide\nbook on\n"
            "read orv.csa\nbook on\nlimit time 0 86400\nmove\ns\n"
            "book on\nlimit time 0 86400\n2726FU\n"
            "read orv.csa\nbook off\nlimit time 0 86400\nmove\ns\n<eof>\n");
  const std::string first = read_file(dir + "/kept1.txt");
  EXPECT_EQ(first.substr(first.size() - 10), "+\n+7776FU\n");
  EXPECT_EQ(read_file(dir + "/kept2.txt"), first + "-3334FU\n+2726FU\n");
}

TEST(Translate, ErrorLinesAreRelayedOneAtATime) {
  std::string dir = make_test_dir("translate_errors", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\n"
                                  "move|err|first complaint\n"
                                  "move|err|\n"
                                  "move|errlf|second complaint\n"
                                  "move|errlf|third complaint\n"
                                  "move|err|No legal moves to search\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "isready\n");
  EXPECT_EQ(next_line(s), "readyok");
  send(s, "go btime 0\n");
  // The complaint that ends the search comes at once, ahead of the lines still waiting;
  // the others come one per 200 ms pause, however fast they came.
  std::vector<std::string> others;
  std::vector<Clock::time_point> arrived;
  Clock::time_point complaint;
  const Clock::time_point asked = Clock::now();
  while (others.size() < 3) {
    const std::string line = next_line(s);
    ASSERT_NE(line, "<timeout>");
    if (line == "info string No legal moves to search") {
      complaint = Clock::now();
      EXPECT_EQ(next_line(s), "bestmove resign");
      continue;
    }
    others.push_back(line);
    arrived.push_back(Clock::now());
  }
  EXPECT_EQ(others,
            (std::vector<std::string>{"info string first complaint", "info string second complaint",
                                      "info string third complaint"}));
  EXPECT_LT(complaint - asked, std::chrono::milliseconds(150) + (arrived[0] - asked));
  EXPECT_GE(arrived[1] - arrived[0], std::chrono::milliseconds(150));
  EXPECT_GE(arrived[2] - arrived[1], std::chrono::milliseconds(150));
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

// The complaint that ends a search is seen wherever a long line of the engine's standard
// error is cut into pieces: in the first, across two, in a later one.
TEST(Translate, ComplaintEndsTheSearchWhereverALongLineIsCut) {
  for (std::size_t before : {20400u, 20470u, 20479u, 45000u}) {
    std::string dir = make_test_dir("translate_long_complaint", "orv_molvara", "molvara",
                                    "@start|out|Molvara Version 2.0\nmove|err|" +
                                        std::string(before, 'x') + "No legal moves to search\n");
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "go btime 0\n");
    EXPECT_EQ(lines_until(s, "bestmove resign", 1000).back(), "bestmove resign") << before;
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0);
  }
}

// An engine that says much on its standard error, before its banner too, is never held up
// by it: what waits beyond the backlog is dropped and counted, and when the engine ends, its
// last words come before "has exited".
TEST(Translate, EngineErrorFloodNeverBlocksTheEngine) {
  std::string dir = make_test_dir("translate_error_flood", "orv_molvara", "molvara",
                                  "@start|errflood|10000\n"
                                  "@start|out|Molvara Version 2.0\n"
                                  "move|errflood|3000\n"
                                  "move|err|evaluation file is broken\n"
                                  "move|exit|1\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "usi\n");
  bool named = false, gone = false;
  long shown = 0, dropped = 0;
  std::string last;
  for (std::string line = next_line(s); !gone; line = next_line(s)) {
    ASSERT_NE(line, "<timeout>");
    ASSERT_NE(line, "<eof>");
    named = named || line == "id name Molvara Version 2.0";
    if (line == "usiok") send(s, "go btime 0\n");
    if (line.compare(0, 22, "info string complaint ") == 0) ++shown;
    const std::size_t was = line.find(" lines of the engine's standard error were dropped");
    if (was != std::string::npos) dropped += std::atol(line.c_str() + 12);
    if (line.compare(0, 12, "info string ") == 0 && line.find(" has exited") == std::string::npos) {
      last = line;
    }
    gone = line == "info string engine " + program("molvara") + " has exited";
  }
  EXPECT_TRUE(named);
  EXPECT_EQ(wait_exit(s), 1);
  EXPECT_EQ(shown + dropped, 13000);
  EXPECT_GT(dropped, 0);
  EXPECT_EQ(last, "info string evaluation file is broken");
}

TEST(Translate, BusyOutputThreadAndGuiCommandsKeepEveryLineWhole) {
  std::string long_pv;
  const char* shuffle[] = {" +5958OU", " -5152OU", " +5859OU", " -5251OU"};
  for (int i = 0; i < 120; ++i) long_pv += shuffle[i % 4];
  std::string script = "@start|out|Molvara Version 2.0\n";
  for (int i = 0; i < 40; ++i)
    script += "move|out|info+0.0" + std::to_string(i % 10) + long_pv + "\n";
  script += "move|out|move5958OU\n";
  std::string dir = make_test_dir("translate_busy", "orv_molvara", "molvara", script);
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "setoption name Debug value false\nusinewgame\n");
  int scores = 0;
  for (int round = 0; round < 25; ++round) {
    send(s, "position sfen 4k4/9/9/9/9/9/9/9/4K4 b - 1\ngo btime 1000 wtime 1000\n");
    for (int i = 0; i < 3; ++i) send(s, "setoption name Nodes value 2000\nusi\n");
    for (;;) {
      std::string line = next_line(s);
      ASSERT_NE(line, "<timeout>");
      if (line == "bestmove 5i5h") break;
      if (line.compare(0, 10, "info time ") == 0) {
        ++scores;
        EXPECT_NE(line.find(" depth 100 score cp "), std::string::npos) << line;
        EXPECT_EQ(line.size() - line.find(" pv "), 4 + 99 * 5 - 1) << line;
      } else {
        EXPECT_TRUE(line.compare(0, 3, "id ") == 0 || line.compare(0, 12, "option name ") == 0 ||
                    line == "usiok" || line == "info currmove 5i5h")
            << line;
      }
    }
  }
  EXPECT_EQ(scores, 25 * 40);
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

// A complaint repeated without end answers the search under way once; the rest is relayed at
// its pace, within its bound.
TEST(Translate, ComplaintFloodAnswersOneSearchOnce) {
  std::string dir = make_test_dir("translate_complaint_flood", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\n"
                                  "move|errflood|5000:No legal moves to search\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "position startpos\ngo btime 0\n");
  std::vector<std::string> lines = lines_until(s, "bestmove resign");
  EXPECT_EQ(lines.back(), "bestmove resign");
  send(s, "isready\n");
  for (std::string line = next_line(s); line != "readyok"; line = next_line(s)) {
    ASSERT_NE(line, "<timeout>");
    EXPECT_EQ(line.substr(0, 12), "info string ") << line;
  }
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}
