// The self-check as a player sees it: "--check" over folders that are right and folders that
// are not, and orv started by hand at a terminal.
#include <dirent.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <sstream>

#include "integration/adapter_session.h"

namespace {

const char* const kVerdicts[] = {"OK", "FAIL", "NOTE", "SKIP"};
// The same verdicts as the Japanese lines give them.
const JapaneseText kJapaneseVerdicts[] = {
    {"OK", "OK"},
    {"NG", "NG"},
    {"\xe6\xb3\xa8\xe6\x84\x8f", "\x92\x8d\x88\xd3"},                      // 注意
    {"\xe6\x9c\xaa\xe7\xa2\xba\xe8\xaa\x8d", "\x96\xa2\x8a\x6d\x94\x46"},  // 未確認
};
const char* const kAllWell = "All is well.";
const char* const kWrong = "Something is wrong: do what the [FAIL] lines say.";

// The verdicts of a block's lines, in English words.
std::string verdicts_of(const std::vector<std::string>& block, bool japanese, bool cp932) {
  std::string words;
  for (const std::string& line : block) {
    for (int i = 0; i < 4; ++i) {
      const std::string word =
          "[" + (japanese ? text_of(kJapaneseVerdicts[i], cp932) : kVerdicts[i]) + "] ";
      if (line.compare(0, word.size(), word) == 0) words += std::string(" ") + kVerdicts[i];
    }
  }
  return words.empty() ? words : words.substr(1);
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The Japanese block, then the English one after the blank line.
void split_blocks(const std::string& text, std::vector<std::string>& japanese,
                  std::vector<std::string>& english) {
  std::vector<std::string>* block = &japanese;
  for (const std::string& line : split_lines(text)) {
    if (line.empty() && block == &japanese) {
      block = &english;
    } else {
      block->push_back(line);
    }
  }
}

std::set<std::string> files_in(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* folder = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(folder)) names.insert(entry->d_name);
    closedir(folder);
  }
  return names;
}

// "@" stands for the folder as orv names it, "%" for ".exe" under Wine.
std::string expand(const std::string& text, const std::string& dir) {
  std::string out;
  for (char c : text) {
    out += c == '@' ? native_dir(dir) : c == '%' ? program("") : std::string(1, c);
  }
  return out;
}

}  // namespace

TEST(SelfCheck, FoldersRightAndWrong) {
  const struct {
    const char* name;
    const char* exe;
    const char* engine;
    const char* script;
    const char* ini_dir;  // the folder recorded in orv_molvara.ini beforehand, "@" for this one
    bool unwritable;
    int code;
    const char* verdicts;
    const char* line;  // the English line that tells
  } cases[] = {
      {"check_fine", "orv_molvara", "molvara", "", "", false, 0, "OK OK OK OK OK OK",
       "[OK] The engine started and said its name: Molvara Version 2.0"},
      {"check_ini_here", "orv_molvara", "molvara", "", "@", false, 0, "OK OK OK OK OK OK",
       "[OK] orv_molvara.ini is there: engine Kept, folder @"},
      {"check_ini_elsewhere", "orv_molvara", "molvara", "", "/elsewhere/", false, 0,
       "OK OK OK OK OK NOTE",
       "[NOTE] orv_molvara.ini names another folder, /elsewhere/: the next start starts the "
       "engine and rewrites it."},
      {"check_no_engine", "orv_molvara", "", "", "", false, 1, "OK OK FAIL SKIP OK OK",
       "[FAIL] The engine @molvara% is missing: put the engine in this folder under the name "
       "molvara%."},
      {"check_similar_name", "orv_molvara", "molvara (1)", "", "", false, 1,
       "OK OK FAIL SKIP OK OK",
       "[FAIL] The engine @molvara% is missing, but files with a similar name are here: "
       "molvara (1)%. Rename the engine molvara%."},
      {"check_silent_engine", "orv_molvara", "molvara", "@start|exit|0\n", "", false, 1,
       "OK OK OK FAIL OK OK",
       "[FAIL] The engine molvara% started but ended before it said its name: start the engine "
       "by itself and read what it says."},
      // A program of the engine's holds its pipes long after the engine has been ended.
      {"check_engine_with_logger", "orv_molvara", "molvara",
       "@start|orphan|30000\n@start|out|Molvara Version 2.0\n", "", false, 0, "OK OK OK OK OK OK",
       "[OK] The engine started and said its name: Molvara Version 2.0"},
      {"check_slow_engine", "orv_molvara", "molvara",
       "@start|sleep|30000\n@start|out|Molvara Version 2.0\n", "", false, 0, "OK OK OK NOTE OK OK",
       "[NOTE] The engine started but has not said its name within 10 s (still loading). If it "
       "is only slow, that is fine: give it more time in the GUI."},
      {"check_unwritable", "orv_molvara", "molvara", "", "", true, 1, "OK OK OK OK FAIL OK",
       "[FAIL] The folder cannot be written (it is read-only, or you may not write in it): clear "
       "its read-only mark or move the whole folder where you may write."},
      {"check in Program Files", "orv_molvara", "molvara", "", "", true, 1, "OK OK OK OK FAIL OK",
       "[FAIL] The folder cannot be written: it lies in Program Files. Move the whole folder "
       "where you may write (such as Documents) and register orv in the GUI again."},
      {"check in OneDrive", "orv_molvara", "molvara", "", "", true, 1, "OK OK OK OK FAIL OK",
       "[FAIL] The folder cannot be written: it lies in OneDrive. Move the whole folder out of "
       "OneDrive (such as a new folder on drive C) and register orv in the GUI again."},
      {"check_wrong_name", "orv-molvara", "molvara", "", "", false, 1, "OK FAIL SKIP OK",
       "[FAIL] The adapter's name orv-molvara% is wrong: rename it orv_molvara%."},
  };
  for (const auto& c : cases) {
    if (c.unwritable && kUnderWine) continue;  // Wine keeps no folder rights
    const std::string dir = make_test_dir(c.name, c.exe, c.engine, c.script);
    if (*c.ini_dir) {
      write_file(dir + "/orv_molvara.ini",
                 "[Molvara]\nDir=" + expand(c.ini_dir, dir) + "\nName=Kept\n");
    }
    const std::set<std::string> before = files_in(dir);
    if (c.unwritable) chmod(dir.c_str(), 0555);
    AdapterSession s;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(c.unwritable ? start_adapter_unprivileged(s, dir, "--check")
                             : start_adapter(s, dir, c.exe, "--check"));
    EXPECT_EQ(wait_exit(s, 30000), c.code) << c.name;
    // A slow engine is waited for 10 s and then ended; any other gives its answer at once.
    const bool slow = std::strstr(c.script, "sleep") != nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(slow ? 25 : 5))
        << c.name;
    chmod(dir.c_str(), 0755);
    std::vector<std::string> japanese, english;
    split_blocks(rest_of_output(s), japanese, english);
    EXPECT_EQ(verdicts_of(english, false, false), c.verdicts) << c.name;
    EXPECT_EQ(verdicts_of(japanese, true, kUnderWine), c.verdicts) << c.name;
    ASSERT_EQ(japanese.size(), english.size()) << c.name;
    ASSERT_GE(english.size(), 2u) << c.name;
    EXPECT_EQ(english.front(), "orv self-check of the folder " + native_dir(dir)) << c.name;
    EXPECT_EQ(english.back(), c.code == 0 ? kAllWell : kWrong) << c.name;
    EXPECT_NE(std::find(english.begin(), english.end(), expand(c.line, dir)), english.end())
        << c.name;
    // Nothing is left behind but what the engine itself writes: no ini, no position file.
    for (const std::string& name : files_in(dir)) {
      const bool engines =
          name == "engine.pid" || name == "engine_start.log" || name == "commands.log";
      EXPECT_TRUE(before.count(name) || engines) << c.name << ": " << name;
    }
  }
}

#ifndef ORV_UNDER_WINE
namespace {

// Reads the terminal until text has come, or the time is up, or the program has gone.
bool read_until(int terminal, std::string& seen, const std::string& text, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (seen.find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    pollfd p{terminal, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(terminal, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

// A person at a terminal sees the check, then types USI commands as before.
TEST(SelfCheck, ByHandAtATerminal) {
  const std::string dir = make_test_dir("check_by_hand");
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (chdir(dir.c_str()) == 0) execl("./orv_molvara", "orv_molvara", nullptr);
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  const std::string waiting = "Waiting for USI commands: type quit or close the window to end.";
  std::string seen;
  EXPECT_TRUE(read_until(terminal, seen, waiting + "\r\n", 20000)) << seen;
  std::vector<std::string> japanese, english;
  split_blocks(seen, japanese, english);
  EXPECT_EQ(verdicts_of(japanese, true, false), "OK OK OK OK OK OK");
  EXPECT_EQ(verdicts_of(english, false, false), "OK OK OK OK OK OK");
  ASSERT_GE(english.size(), 2u);
  EXPECT_EQ(english[english.size() - 2], kAllWell);
  EXPECT_EQ(english.back(), waiting);

  seen.clear();
  ASSERT_EQ(write(terminal, "usi\n", 4), 4);
  EXPECT_TRUE(read_until(terminal, seen, "usiok\r\n", 10000)) << seen;
  EXPECT_EQ(split_lines(seen).at(1), "id name Molvara Version 2.0");
  ASSERT_EQ(write(terminal, "quit\n", 5), 5);
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(terminal);
  // The first start in the folder recorded the engine, as it does from a GUI.
  EXPECT_EQ(read_file(dir + "/orv_molvara.ini"),
            "[Molvara]\nDir=" + native_dir(dir) + "\nName=Molvara Version 2.0\n");
}
#endif
