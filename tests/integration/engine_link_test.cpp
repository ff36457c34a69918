// The link to the engine as the GUI sees it: the Debug trace, line ends, an engine that
// goes away, and the order in which commands reach it.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
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

// An engine that closes its input and runs on, one that exits while a program of its own
// holds its pipes, with SIGCHLD as the GUI left it (ignored or blocked): each is gone, the
// GUI is told after the engine's last words, and orv ends.
TEST(EngineLink, EngineThatIsGoneWhateverItsPipesDo) {
  enum ChildExits { kAsIs, kIgnored, kBlocked };
  const struct {
    const char* name;
    const char* script;
    ChildExits child_exits;
    bool posix_only;  // under Wine the writer is not told that the engine closed its input
    std::vector<std::string> said;  // before the end, in any order
  } cases[] = {
      {"deaf", "s|deaf|\n", kAsIs, true, {}},
      {"orphan",
       "@start|orphan|10000\nmove|out|move7776FU\nmove|errlf|last words\nmove|exit|3\n",
       kAsIs,
       false,
       {"info currmove 7g7f", "bestmove 7g7f", "info string last words"}},
      {"sigchld",
       "@start|signals|\nmove|exit|3\n",
       kIgnored,
       true,
       {"info string SIGCHLD default"}},
      {"sigchld_blocked", "@start|orphan|10000\nmove|exit|3\n", kBlocked, true, {}},
  };
  for (const auto& c : cases) {
    if (kUnderWine && c.posix_only) continue;
    std::string dir = make_test_dir(std::string("engine_gone_") + c.name, "orv_molvara", "molvara",
                                    std::string("@start|out|Molvara Version 2.0\n") + c.script);
    AdapterSession s;
    sigset_t child_exits;
    sigemptyset(&child_exits);
    sigaddset(&child_exits, SIGCHLD);
    if (c.child_exits == kBlocked) sigprocmask(SIG_BLOCK, &child_exits, nullptr);
    if (c.child_exits == kIgnored) signal(SIGCHLD, SIG_IGN);  // as some GUIs start engines
    ASSERT_TRUE(start_adapter(s, dir));
    signal(SIGCHLD, SIG_DFL);
    sigprocmask(SIG_UNBLOCK, &child_exits, nullptr);
    send(s, "isready\nstop\n");
    std::vector<std::string> lines = lines_until(s, "readyok");
    lines.pop_back();
    engine_commands_so_far(dir, 1);  // the "s" that makes one engine deaf
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto asked = std::chrono::steady_clock::now();
    send(s, "usinewgame\ngo\n");
    for (const std::string& line :
         lines_until(s, "info string engine " + program("molvara") + " has exited")) {
      lines.push_back(line);
    }
    EXPECT_EQ(wait_exit(s), 1) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3)) << c.name;
    ASSERT_EQ(lines.back(), "info string engine " + program("molvara") + " has exited") << c.name;
    lines.pop_back();
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> said = c.said;
    std::sort(said.begin(), said.end());
    EXPECT_EQ(lines, said) << c.name;
  }
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

// The threads of a process.
int threads_of(pid_t pid) {
  DIR* tasks = opendir(("/proc/" + std::to_string(pid) + "/task").c_str());
  if (!tasks) return -1;
  int count = 0;
  while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
  closedir(tasks);
  return count;
}

// Waits up to timeout_ms for orv's exit while its output is left unread: its exit code, or
// -1 (it is then left to wait_exit).
int exit_without_reading(AdapterSession& s, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  while (waitpid(s.pid, &status, WNOHANG) != s.pid) {
    if (Clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  s.pid = -1;
  s.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return s.exit_code;
}

}  // namespace

// An engine that ignores the end of its input and runs on: however orv ends, it ends too.
TEST(EngineLifetime, TheEngineNeverOutlivesOrv) {
  enum How {
    kQuit,
    kEndOfInput,
    kKilled,
    kTerminated,
    kNotReading,
    kQuitUnread,
    kEndOfInputUnread,
    kAnsweredQuitUnread
  };
  const struct {
    const char* name;
    How how;
    int exit_code;
    int gone_ms;           // the engine is gone this long after orv
    const char* more;      // what the engine does besides, or what follows "quit" unread
    bool wrapper = false;  // a shell script starts the engine without exec (POSIX only)
  } cases[] = {
      {"quit", kQuit, 0, 1000, ""},
      {"end_of_input", kEndOfInput, 0, 1000, ""},
      {"killed", kKilled, 128 + SIGKILL, 2000, ""},
      {"terminated", kTerminated, 128 + SIGTERM, 1000, ""},
      {"not_reading", kNotReading, 1, 1000, ""},
      // The GUI has stopped reading while the engine floods it; orv's own exit is waited for
      // without reading either.
      {"quit_unread", kQuitUnread, 0, 1000, ""},
      {"end_of_input_unread", kEndOfInputUnread, 0, 1000, ""},
      // orv itself waits to write its answer to the GUI's line when "quit" comes.
      {"answered_quit_unread", kAnsweredQuitUnread, 0, 1000, ""},
      // Far more input after "quit" than any pipe holds.
      {"quit_unread_then_more", kQuitUnread, 0, 1000, "@more"},
      // A program the engine started holds its pipes: it ends with the engine.
      {"helper_quit", kQuit, 0, 1000, "@start|orphan|60000\n"},
      {"helper_terminated", kTerminated, 128 + SIGTERM, 1000, "@start|orphan|60000\n"},
      {"wrapper_quit", kQuit, 0, 1000, "", true},
      {"wrapper_terminated", kTerminated, 128 + SIGTERM, 1000, "", true},
  };
  for (const auto& c : cases) {
    const bool more_input = std::string(c.more) == "@more";
    if (kUnderWine && (c.wrapper || c.how == kTerminated || c.more[0] == '@')) continue;
    const std::string dir =
        make_test_dir(std::string("lifetime_") + c.name, "orv_molvara", "molvara",
                      "@start|out|Molvara Version 2.0\n@eof|hang|\ns|hang|\nmove|flood|100000\n" +
                          std::string(more_input ? "" : c.more));
    if (c.wrapper) {
      std::remove((dir + "/molvara").c_str());
      write_file(dir + "/molvara", "#!/bin/sh\n'" ORV_FAKE_ENGINE_PATH "' \"$@\"\n");
      chmod((dir + "/molvara").c_str(), 0755);
    }
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "isready\n");
    ASSERT_EQ(next_line(s, 10000), "readyok") << c.name;
    ASSERT_TRUE(engine_running(dir)) << c.name;
    const auto asked = Clock::now();
    if (c.how == kQuit) send(s, "quit\n");
    if (c.how == kEndOfInput) close_input(s);
    if (c.how == kKilled) kill(s.pid, SIGKILL);
    if (c.how == kTerminated) kill(s.pid, SIGTERM);
    if (c.how == kNotReading) {
      std::string stops;
      for (int i = 0; i < 50000; ++i) stops += "stop\n";  // far more than a pipe holds
      send(s, stops);
    }
    if (c.how == kQuitUnread || c.how == kEndOfInputUnread || c.how == kAnsweredQuitUnread) {
      send(s, "go\n");
      engine_commands_so_far(dir, 2);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the pipe fills
      // One loop does all the work during a search: no reader, writer or watcher threads.
      if (!kUnderWine) {
        EXPECT_EQ(threads_of(s.pid), 1) << c.name;
      }
      if (c.how == kQuitUnread) {
        ASSERT_EQ(write(s.in_fd, "quit\n", 5), 5);
        // What follows fills the pipe, and more waits behind it.
        const std::string more(1 << 20, 'x');
        fcntl(s.in_fd, F_SETFL, fcntl(s.in_fd, F_GETFL) | O_NONBLOCK);
        if (more_input) (void)!write(s.in_fd, more.data(), more.size());
      }
      if (c.how == kAnsweredQuitUnread) {
        ASSERT_EQ(write(s.in_fd, "isready\nquit\n", 13), 13);
      }
      if (c.how == kEndOfInputUnread) close_input(s);
      EXPECT_EQ(exit_without_reading(s, 5000), c.exit_code) << c.name;
      EXPECT_LT(Clock::now() - asked, std::chrono::milliseconds(5000)) << c.name;
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

// "quit" is seen whatever orv waits for: an engine's banner at the first start or at
// "isready", a GUI that does not read while the engine writes on its way out (the engine then
// still ends by itself: it has written its file when orv has ended).
TEST(EngineLifetime, QuitIsSeenWhateverOrvWaitsFor) {
  const std::string slow = "@start|sleep|15000\n@start|out|Molvara Version 2.0\n";
  const struct {
    const char* name;
    std::string script;
    bool deferred;  // the folder is known: the engine starts at "isready"
    const char* before_quit;
    bool ends_by_itself;
  } cases[] = {
      {"first_banner", slow, false, "usi\nisready\n", false},
      {"isready_banner", slow, true, "usi\nisready\n", false},
      {"last_words_unread",
       // More than any pipe holds; a Windows program under Wine writes each line slowly.
       std::string("@start|out|Molvara Version 2.0\n@eof|flood|") +
           (kUnderWine ? "3000" : "20000") + "\n@eof|keep|engine.pid\n",
       false, "isready\n", true},
  };
  for (const auto& c : cases) {
    const std::string dir =
        make_test_dir(std::string("quit_seen_") + c.name, "orv_molvara", "molvara", c.script);
    if (c.deferred) {
      write_file(dir + "/orv_molvara.ini", "[Molvara]\nDir=" + native_dir(dir) + "\nName=x\n");
    }
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, c.before_quit);
    if (c.ends_by_itself) {
      ASSERT_EQ(next_line(s, 10000), "readyok") << c.name;
    }
    engine_commands_so_far(dir, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto asked = Clock::now();
    ASSERT_EQ(write(s.in_fd, "quit\n", 5), 5);
    EXPECT_EQ(exit_without_reading(s, 5000), 0) << c.name;
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(3)) << c.name;
    EXPECT_TRUE(engine_gone_within(dir, 1000)) << c.name;
    EXPECT_EQ(file_exists(dir + "/kept1.txt"), c.ends_by_itself) << c.name;
    wait_exit(s);
  }
}
