// The link to the engine as the GUI sees it: the Debug trace, line ends, an engine that
// goes away, and the order in which commands reach it.
#include <dirent.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

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
  send(s, "setoption name Debug value false\nstop\n");
  // Nothing traced any more: the engine's answer to "s" comes untraced.
  EXPECT_EQ(next_line(s), "info currmove resign");
  EXPECT_EQ(next_line(s), "bestmove resign");
  send(s, "isready\n");
  EXPECT_EQ(next_line(s), "readyok");
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
}

namespace {

using Clock = std::chrono::steady_clock;

// The engine started in dir still runs: a process (not a zombie) working in dir whose
// command line holds "csa_shogi". Natively and under Wine alike, where the process of a
// Windows program is a process of this system too.
bool engine_running(const std::string& dir) {
  char real[PATH_MAX];
  if (!realpath(dir.c_str(), real)) return false;
  DIR* proc = opendir("/proc");
  if (!proc) return false;
  bool found = false;
  while (dirent* entry = readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    char cwd[PATH_MAX];
    const ssize_t n = readlink(("/proc/" + pid + "/cwd").c_str(), cwd, sizeof cwd - 1);
    if (n <= 0 || std::string(cwd, static_cast<std::size_t>(n)) != real) continue;
    const std::string command = read_file("/proc/" + pid + "/cmdline");
    const std::string stat = read_file("/proc/" + pid + "/stat");
    const std::size_t state = stat.rfind(") ");
    if (command.find("csa_shogi") == std::string::npos || state == std::string::npos) continue;
    if (stat[state + 2] != 'Z') found = true;
  }
  closedir(proc);
  return found;
}

// Waits up to timeout_ms for the engine in dir to be gone.
bool engine_gone_within(const std::string& dir, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (engine_running(dir)) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace

// An engine that ignores the end of its input and runs on: however orv ends, it ends too.
TEST(EngineLifetime, TheEngineNeverOutlivesOrv) {
  enum How { kQuit, kEndOfInput, kKilled, kNotReading };
  const struct {
    const char* name;
    How how;
    int exit_code;
    int gone_ms;  // the engine is gone this long after orv
  } cases[] = {
      {"quit", kQuit, 0, 1000},
      {"end_of_input", kEndOfInput, 0, 1000},
      {"killed", kKilled, 128 + SIGKILL, 2000},
      {"not_reading", kNotReading, 1, 1000},
  };
  for (const auto& c : cases) {
    const std::string dir =
        make_test_dir(std::string("lifetime_") + c.name, "orv_molvara", "molvara",
                      "@start|out|Molvara Version 2.0\n@eof|hang|\ns|hang|\n");
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "isready\n");
    ASSERT_EQ(next_line(s, 10000), "readyok") << c.name;
    ASSERT_TRUE(engine_running(dir)) << c.name;
    const auto asked = Clock::now();
    if (c.how == kQuit) send(s, "quit\n");
    if (c.how == kEndOfInput) close_input(s);
    if (c.how == kKilled) kill(s.pid, SIGKILL);
    if (c.how == kNotReading) {
      std::string stops;
      for (int i = 0; i < 50000; ++i) stops += "stop\n";  // far more than a pipe holds
      send(s, stops);
    }
    EXPECT_EQ(wait_exit(s, 30000), c.exit_code) << c.name;
    if (c.how == kQuit || c.how == kEndOfInput) {
      EXPECT_LT(Clock::now() - asked, std::chrono::seconds(3)) << c.name;
    }
    EXPECT_TRUE(engine_gone_within(dir, c.gone_ms)) << c.name;
    if (c.how == kNotReading) {
      EXPECT_NE(rest_of_output(s).find(" does not read its input"), std::string::npos) << c.name;
    }
  }
}

// An engine that takes a moment to end after its input ends (writing its files, say) is
// waited for: it has ended when orv has.
TEST(EngineLifetime, AnEngineThatEndsByItselfIsWaitedFor) {
  const std::string dir = make_test_dir("lifetime_slow_end", "orv_molvara", "molvara",
                                        "@start|out|Molvara Version 2.0\n@eof|sleep|500\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "isready\n");
  ASSERT_EQ(next_line(s, 10000), "readyok");
  const auto asked = Clock::now();
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s, 5000), 0);
  EXPECT_FALSE(engine_running(dir));
  EXPECT_GE(Clock::now() - asked, std::chrono::milliseconds(450));
  EXPECT_EQ(rest_of_output(s), "");  // nothing written by any of this
}
