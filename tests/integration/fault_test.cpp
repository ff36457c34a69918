// Faults from outside: an engine that misbehaves, a GUI that sends anything, files that
// cannot be written. Each ends in a clear message or an orderly exit, within a bound.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "integration/adapter_session.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kBanner = "@start|out|Molvara Version 2.0\n";
constexpr std::size_t kMaxPiece = 20479;  // the longest piece of a line orv reads

// Lets a process without root's rights write into dir (where the tests run as root).
void open_to_all(const std::string& dir) {
  chmod(dir.c_str(), 0777);
}

}  // namespace

// An engine that loads large files before it speaks, then prints its banner in pieces.
TEST(EngineFaults, SlowBannerIsWaitedFor) {
  std::string dir = make_test_dir("fault_slow_banner", "orv_molvara", "molvara",
                                  "@start|sleep|12000\n@start|raw|Molvara Ver\n@start|sleep|300\n"
                                  "@start|out|sion 2.0 - The Computer Shogi Engine\n"
                                  "move|out|move7776FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "usi\n");
  EXPECT_EQ(next_line(s, 20000), "id name Molvara Version 2.0");
  lines_until(s, "usiok");
  send(s, "isready\ngo btime 0\n");
  EXPECT_EQ(next_line(s), "readyok");
  EXPECT_EQ(next_line(s), "info currmove 7g7f");
  EXPECT_EQ(next_line(s), "bestmove 7g7f");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

TEST(EngineFaults, HugeLineWithoutLineFeedComesInPieces) {
  std::string dir =
      make_test_dir("fault_huge_engine_line", "orv_molvara", "molvara",
                    kBanner + "move|bigout|1048576\nmove|out|\nmove|out|move7776FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "go\n");
  std::size_t pieces = 0, bytes = 0;
  for (std::string line = next_line(s); line != "bestmove 7g7f"; line = next_line(s)) {
    ASSERT_NE(line, "<timeout>");
    if (line == "info currmove 7g7f") continue;
    ++pieces;
    bytes += line.size() - platform_text(kMolvUnexpected).size();
  }
  EXPECT_EQ(bytes, 1048576u);  // nothing lost
  EXPECT_EQ(pieces, (1048576u + 20478) / 20479);
  send(s, "isready\n");
  EXPECT_EQ(next_line(s), "readyok");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

// Over-long engine lines: standard error is relayed in pieces of whole characters; a
// variation or candidate list keeps what fits and its rest makes no lines of its own.
TEST(EngineFaults, LongLinesAreCutBetweenCharacters) {
  const std::string character = kUnderWine ? "\x82\xa0" : "\xe3\x81\x82";  // a hiragana A
  const std::size_t count = 60000 / character.size();  // three pieces, none dropped
  std::string escaped;
  for (char c : character) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
    escaped += hex;
  }
  std::string dir =
      make_test_dir("fault_long_lines", "orv_molvara", "molvara",
                    kBanner + "move|errrep|" + std::to_string(count) + " " + escaped +
                        "\nmove|raw|info+0.01\nmove|outrep|750  +5958OU -5152OU +5859OU -5251OU\n"
                        "move|raw|info \nmove|outrep|2500 7776FU(1%) \nmove|out|move7776FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "go\n");
  std::size_t relayed = 0, variations = 0, candidates = 0;
  bool answered = false;
  while (!answered || relayed < count * character.size()) {
    const std::string line = next_line(s, 10000);
    ASSERT_NE(line, "<timeout>");
    answered = answered || line == "bestmove 7g7f";
    if (line.rfind("info string ", 0) == 0) {
      const std::string text = line.substr(12);
      ASSERT_EQ(text.size() % character.size(), 0u);
      for (std::size_t at = 0; at < text.size(); at += character.size()) {
        ASSERT_EQ(text.compare(at, character.size(), character), 0) << "cut inside a character";
      }
      relayed += text.size();
      continue;
    }
    variations += line.rfind("info time ", 0) == 0;
    candidates += line == "info nodes 1 pv 7g7f";
    EXPECT_EQ(line.find(platform_text(kMolvUnexpected)), std::string::npos) << line.substr(0, 40);
  }
  EXPECT_EQ(relayed, count * character.size());
  EXPECT_EQ(variations, 1u);
  EXPECT_EQ(candidates, (kMaxPiece - 5) / 11);  // the whole ones in the line's first piece
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

// A GUI that reads slowly while the engine floods it with reports still gets the engine's
// own answer to its stop: the reports before it give way.
TEST(GuiFaults, ASlowGuiGetsTheAnswerToItsStop) {
  std::string dir =
      make_test_dir("fault_slow_gui", "orv_molvara", "molvara", kBanner + "move|flood|30000\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "go btime 0 wtime 0 byoyomi 60000\n");
  const auto started = Clock::now();
  bool stopped = false;
  std::string line;
  while ((line = next_line(s, 0)) != "bestmove resign") {  // a pipe's page each 100 ms
    ASSERT_EQ(line.find("did not answer its stop"), std::string::npos);
    if (line != "<timeout>") continue;
    ASSERT_LT(Clock::now() - started, std::chrono::seconds(20));
    if (!stopped && Clock::now() - started > std::chrono::seconds(1)) send(s, "stop\n");
    stopped = stopped || Clock::now() - started > std::chrono::seconds(1);
    char buffer[4096];
    const ssize_t n = read(s.out_fd, buffer, sizeof buffer);
    if (n > 0) s.out.append(buffer, static_cast<std::size_t>(n));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s, 10000), 0);
}

TEST(EngineFaults, FloodOnBothStreamsKeepsTheGuiServed) {
  std::string dir =
      make_test_dir("fault_flood", "orv_molvara", "molvara", kBanner + "s|flood|20000\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "stop\n");
  next_line(s);  // the flood has begun
  auto asked = Clock::now();
  send(s, "isready\n");
  EXPECT_EQ(lines_until(s, "readyok", 10000).back(), "readyok");
  EXPECT_LT(Clock::now() - asked, std::chrono::seconds(5));
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s, 10000), 0);
}

TEST(EngineFaults, EngineThatStopsReadingEndsTheAdapter) {
  std::string dir =
      make_test_dir("fault_not_reading", "orv_molvara", "molvara", kBanner + "s|hang|\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  std::string stops;
  for (int i = 0; i < 50000; ++i) stops += "stop\n";  // far more than a pipe holds
  send(s, stops);
  EXPECT_EQ(wait_exit(s, 30000), 1);
  const std::string out = rest_of_output(s);
  // What the adapter (and Wine) said on standard error tells an early end apart.
  EXPECT_NE(out.find("info string engine " + program("molvara") + " does not read its input\n"),
            std::string::npos)
      << "standard error: " << s.err
      << "\nengine's commands: " << read_file(dir + "/commands.log").size() << " bytes";
}

TEST(GuiFaults, HugeAndBinaryLines) {
  std::string dir = make_test_dir("fault_gui_lines");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  std::string binary;
  for (int c = 0; c < 256; ++c) {
    if (c != '\n' && c != '\r') binary += static_cast<char>(c);
  }
  send(s, std::string(1 << 20, 'u') + "\n" + binary + "\nisready\n");
  std::size_t bytes = 0;
  std::string line;
  const std::string message = platform_text(kUsiUnexpected);
  while ((line = next_line(s)) != "readyok") {
    ASSERT_NE(line, "<timeout>");
    if (line == binary) {
      EXPECT_EQ(next_line(s), message);  // echoed byte for byte, then the message
      continue;
    }
    if (line == message) continue;
    const std::size_t at = line.find(message);
    bytes += at == std::string::npos ? line.size() : at;
  }
  EXPECT_EQ(bytes, 1u << 20);
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

TEST(FileFaults, GarbageConfigurationFileReadsAsDefaultsAndIsRepaired) {
  std::string dir = make_test_dir("fault_garbage_ini");
  std::string garbage;
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 7919) % 251 + 1);
  write_file(dir + "/orv_molvara.ini", garbage);
  for (int run = 0; run < 2; ++run) {
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "usi\n");
    auto reply = lines_until(s, "usiok");
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_EQ(reply[14], run == 0 ? "option name Debug type check default false"
                                  : "option name Debug type check default true");
    send(s, "setoption name Debug value true\nquit\n");
    EXPECT_EQ(wait_exit(s), 0);
    EXPECT_EQ(rest_of_output(s), "");
  }
}

TEST(FileFaults, ReadOnlyConfigurationFileOrFolder) {
  if (kUnderWine) GTEST_SKIP() << "file permissions are POSIX's";
  const struct {
    const char* what;
    mode_t file, folder;
    bool temp_blocked;  // the new file's name is taken: not a matter of permission
    bool saved;
  } cases[] = {
      {"file", 0444, 0777, false, false},
      {"folder", 0444, 0555, false, false},
      {"folder_only", 0666, 0555, false, true},  // written in place
      {"temp_blocked", 0666, 0777, true, false},
  };
  for (const auto& c : cases) {
    std::string dir = make_test_dir(std::string("fault_readonly_") + c.what);
    open_to_all(dir);
    {  // a first run records the engine
      AdapterSession s;
      ASSERT_TRUE(start_adapter_unprivileged(s, dir));
      send(s, "setoption name Nodes value 5000\nquit\n");
      ASSERT_EQ(wait_exit(s), 0);
    }
    const std::string before = read_file(dir + "/orv_molvara.ini");
    chmod((dir + "/orv_molvara.ini").c_str(), c.file);
    chmod(dir.c_str(), c.folder);
    AdapterSession s;
    ASSERT_TRUE(start_adapter_unprivileged(s, dir));
    if (c.temp_blocked) {
      mkdir((dir + "/orv_molvara.ini.tmp" + std::to_string(s.pid)).c_str(), 0755);
    }
    send(s, "isready\nsetoption name Debug value true\nisready\nquit\n");
    EXPECT_EQ(wait_exit(s), 0);
    const std::string after = read_file(dir + "/orv_molvara.ini");
    if (c.saved) {
      EXPECT_EQ(rest_of_output(s), "readyok\nreadyok\n") << c.what;
      EXPECT_EQ(after, before + "Debug=true\n") << c.what;
    } else {
      EXPECT_EQ(rest_of_output(s), "readyok\ninfo string " + native_dir(dir) +
                                       "orv_molvara.ini cannot be written\nreadyok\n");
      EXPECT_EQ(after, before) << c.what;  // the old file, whole
    }
    chmod(dir.c_str(), 0777);
  }
}

// While orv.csa cannot be written the engine holds an older position: it is given no
// search, and the next position that can be written is given whole.
TEST(FileFaults, PositionFileThatCannotBeWrittenIsNotRead) {
  std::string dir =
      make_test_dir("fault_orv_csa", "orv_molvara", "molvara", kBanner + "@search|reply|\n");
  write_file(dir + "/fake_replies.txt", "move7776FU\nmove2625FU\n");
  const std::string blocked = dir + "/orv.csa";  // a folder where the file belongs
  const std::string cannot = "info string orv.csa cannot be written";
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "position startpos moves 2g2f 8c8d\ngo btime 0\n");
  EXPECT_EQ(next_line(s), "info currmove 7g7f");
  EXPECT_EQ(next_line(s), "bestmove 7g7f");
  ASSERT_EQ(std::remove(blocked.c_str()), 0);
  ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
  send(s, "position startpos moves 2g2f 8c8d\nisready\n");
  EXPECT_EQ(next_line(s), "readyok");  // told once, at the search
  send(s, "go btime 0\n");             // still blocked: no search of the old position
  EXPECT_EQ(next_line(s), cannot);
  EXPECT_EQ(next_line(s), "bestmove resign");
  ASSERT_EQ(rmdir(blocked.c_str()), 0);
  // The shape of a single new move after the engine's 7g7f, but the engine never had the
  // position before it: it is given whole.
  send(s, "position startpos moves 2g2f 8c8d 7g7f 3c3d\ngo btime 0\n");
  EXPECT_EQ(next_line(s), "info currmove 2f2e");
  EXPECT_EQ(next_line(s), "bestmove 2f2e");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(engine_commands(dir),
            "read orv.csa\nbook off\nlimit time 0 0\nmove\nread orv.csa\nmove\n<eof>\n");
}

TEST(FileFaults, MemoryFilesOfWrongSizes) {
  std::string dir = make_test_dir("fault_dat_files", "orv_molvara", "molvara", kBanner);
  write_file(dir + "/sfenbk.dat", "startpos\n");
  write_file(dir + "/lastmove.dat", "77");  // short: no record to append
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "setoption name AnotherHand value true\nposition startpos\ngo\n");
  engine_commands_so_far(dir, 3);
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_FALSE(file_exists(dir + "/restraint.dat"));
  EXPECT_EQ(engine_commands(dir),
            "read orv.csa\nbook off\nlimit time 0 0\nmove restraint\n<eof>\n");
}
