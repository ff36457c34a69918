// The command loop through the running adapter: what the engine receives, what the GUI
// reads, and how the process ends.
#include <gtest/gtest.h>

#include "integration/adapter_session.h"

namespace {

const std::string kUnexpected = platform_text(kUsiUnexpected);
const std::string kReadErrorText = platform_text(kReadError);

}  // namespace

TEST(Loop, AGameOfCommandsReachesTheEngineInOrder) {
  std::string dir = make_test_dir("game_commands", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\nmove#1|out|move7776FU\n"
                                  "move#2|sleep|200\nmove#2|out|move2726FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "usi\n");
  lines_until(s, "usiok");
  send(s, "setoption name BookNum value 0\nisready\n");
  EXPECT_EQ(next_line(s), "readyok");
  send(s, "usinewgame\nposition startpos\ngo btime 600000 wtime 300000 byoyomi 10000\n");
  send(s, "go ponder\nponderhit\nstop\ngo btime 1 wtime 1\ngo infinite\ngameover lose\nquit\n");
  EXPECT_EQ(wait_exit(s), 0);
  // A "go" with no new position searches it again: the engine has played its answer on its
  // board, so it is given the position whole. "go infinite" leaves the timed search that runs
  // and waits for its answer; the analysis the game's end left is stopped.
  EXPECT_EQ(engine_commands(dir),
            "limit time strict\nresign 32596\nponder off\nbook wide\nbook off\n"
            "read orv.csa\nlimit time 10 10\nmove\ns\nread orv.csa\nmove\ns\n"
            "read orv.csa\nbook off\nlimit time 0 86400\nmove\ns\n<eof>\n");
}

TEST(Loop, EndOfInputEndsWithTheMessage) {
  std::string dir = make_test_dir("end_of_input", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\nmove|out|move7776FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "isready\ngo btime 0\n");
  EXPECT_EQ(next_line(s), "readyok");
  EXPECT_EQ(next_line(s), "info currmove 7g7f");
  send(s, "bye");  // the last line has no line feed
  close_input(s);
  EXPECT_EQ(wait_exit(s), 0);
  // The exact bytes: Windows programs end their lines with CR LF.
  const std::string eol = kUnderWine ? "\r\n" : "\n";
  EXPECT_EQ(s.out, "bestmove 7g7f" + eol + "bye" + kUnexpected + eol + kReadErrorText + eol);
  EXPECT_EQ(engine_commands(dir), "limit time 0 0\nmove\n<eof>\n");
}

TEST(Loop, UnrecognisedAndEmptyLines) {
  std::string dir = make_test_dir("unrecognised");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  // A word that is no command, an empty line, a leading blank, another letter case, a
  // command without its words.
  send(s, "hello\n\n isready\nIsReady\r\n usi\nUSI\nQuit\nsetoption\n");
  for (const char* echoed :
       {"hello", "", " isready", "IsReady", " usi", "USI", "Quit", "setoption"}) {
    EXPECT_EQ(next_line(s), echoed);
    EXPECT_EQ(next_line(s), kUnexpected);
  }
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

TEST(Loop, LongGuiLinesArriveInPieces) {
  std::string dir = make_test_dir("long_line");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  // 20478 characters and the line feed fit one piece; one more character does not.
  const std::string fits(20478, 'x');
  const std::string too_long(20479, 'y');
  send(s, fits + "\n" + too_long + "\nisready\n");
  EXPECT_EQ(next_line(s), fits);
  EXPECT_EQ(next_line(s), kUnexpected);
  EXPECT_EQ(next_line(s), too_long + kUnexpected);  // the piece has no line feed of its own
  EXPECT_EQ(next_line(s), "");                      // the line feed alone is the next piece
  EXPECT_EQ(next_line(s), kUnexpected);
  EXPECT_EQ(next_line(s), "readyok");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

TEST(Loop, SearchesOfADeferredStartBeginAfterIsready) {
  std::string dir = make_test_dir("deferred_go");
  write_file(dir + "/orv_molvara.ini", "[Molvara]\nDir=" + native_dir(dir) + "\nName=Cached\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "usinewgame\ngo btime 60000 wtime 60000 byoyomi 1000\nstop\nisready\n");
  EXPECT_EQ(next_line(s), "readyok");
  send(s, "go btime 60000 wtime 60000\nquit\n");
  EXPECT_EQ(wait_exit(s), 0);
  // The first "go" and the "stop" had no engine; the limit counted all the same, as for any
  // game.
  EXPECT_EQ(engine_commands(dir), "move\n<eof>\n");
}
