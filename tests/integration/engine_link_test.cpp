// The link to the engine as the GUI sees it: the Debug trace, line ends, an engine that
// goes away, and the order in which commands reach it.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "integration/adapter_session.h"

namespace {

// "hh:mm:ss:mmm " with a plausible time.
bool is_time_stamp(const std::string& s) {
  const char* shape = "99:99:99:999 ";
  for (int i = 0; i < 13; ++i) {
    bool digit = s[i] >= '0' && s[i] <= '9';
    if (shape[i] == '9' ? !digit : s[i] != shape[i]) return false;
  }
  return std::atoi(s.c_str()) < 24 && std::atoi(s.c_str() + 3) < 60;
}

}  // namespace

TEST(EngineLink, DebugTracesEveryLineBothWays) {
  std::string dir = make_test_dir("trace", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\n"
                                  "move|out|info-0.35 +7776FU\n"
                                  "move|outlf|pong\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "setoption name Debug value true\ngo btime 0\n");
  const char* expected[] = {">M limit time 0 0", ">M move", "<M info-0.35 +7776FU", "", "<M pong"};
  for (const char* tail : expected) {
    std::string line = next_line(s);
    if (*tail == '\0') {  // the translated line between the traced ones
      EXPECT_EQ(line.substr(0, 10), "info time ") << line;
      continue;
    }
    ASSERT_GE(line.size(), 13u) << line;
    EXPECT_TRUE(is_time_stamp(line.substr(0, 13))) << line;
    EXPECT_EQ(line.substr(13), tail);  // a bare line feed keeps the last character
  }
  send(s, "setoption name Debug value false\nstop\nisready\n");
  EXPECT_EQ(next_line(s), "readyok");  // nothing traced any more
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(engine_commands(dir), "limit time 0 0\nmove\ns\n<eof>\n");
}

TEST(EngineLink, EngineThatExitsIsReported) {
  std::string dir = make_test_dir("engine_exits", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\nmove|exit|3\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "isready\ngo\n");
  EXPECT_EQ(next_line(s), "readyok");
  EXPECT_EQ(next_line(s), "info string engine " + program("molvara") + " has exited");
  EXPECT_EQ(wait_exit(s), 1);
}

TEST(EngineLink, KilledEngineInTheMiddleOfASearchEndsTheAdapterWithinASecond) {
  std::string dir = make_test_dir("engine_killed", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\nmove|out|info-0.01 +7776FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "go\n");
  engine_commands_so_far(dir, 2);
  const int pid = std::atoi(read_file(dir + "/engine.pid").c_str());
  ASSERT_GT(pid, 0);
  kill_process(pid);
  auto killed = std::chrono::steady_clock::now();
  EXPECT_EQ(wait_exit(s, 1000), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(1));
  EXPECT_NE(rest_of_output(s).find("info string engine " + program("molvara") + " has exited\n"),
            std::string::npos);
}

TEST(EngineLink, WritingToAnEngineThatClosedItsInputDoesNotKillTheAdapter) {
  std::string dir = make_test_dir("engine_deaf", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\nstop|deaf|\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "stop\n");
  engine_commands_so_far(dir, 1);
  send(s, "usinewgame\ngo\nisready\n");
  EXPECT_EQ(next_line(s), "readyok");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  const int pid = std::atoi(read_file(dir + "/engine.pid").c_str());
  if (pid > 0) kill_process(pid);
}
