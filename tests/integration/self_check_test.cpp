// The self-check as a player sees it: "--check" over folders that are right and folders that
// are not, and orv started by hand at a terminal.
#include <dirent.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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
const char* const kNotAllWell =
    "Nothing failed, but the engine did not answer as molvara does: see the [NOTE] line.";

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

// The first line a shell command writes, without its line end or a separator at its end.
std::string output_of(const std::string& command) {
  std::string line;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    if (std::fgets(buffer, sizeof buffer, pipe)) line = buffer;
    pclose(pipe);
  }
  while (!line.empty() && std::strchr("\r\n/", line.back())) line.pop_back();
  return line;
}

// What a program of the Windows build under Wine makes of a variable: "echo %TEMP%".
std::string wine_value(const std::string& name) {
  return output_of("WINEDEBUG=-all wine cmd /c echo %" + name + "% 2>/dev/null");
}

// The folder for temporary files as the adapter sees it, as a path of this machine.
std::string temp_folder() {
  if (!kUnderWine) return ORV_TEST_WORK_DIR;
  return output_of("winepath -u '" + wine_value("TEMP") + "' 2>/dev/null");
}

// The folder the check advises, in the person's own: their home and "shogi".
std::string own_folder() {
  if (kUnderWine) return wine_value("USERPROFILE") + "\\shogi";
  return std::string(std::getenv("HOME")) + "/shogi";
}

// "@" stands for the folder as orv names it, "%" for ".exe" under Wine, "$" for the separator
// and "~" for the folder of the person's own. Under Wine, a path outside its code page (1252
// here) comes with "?" for each character.
std::string expand(const std::string& text, const std::string& dir) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (kUnderWine && byte >= 0x80) {
      if (byte >= 0xc0) out += '?';
      continue;
    }
    out += c == '@'   ? native_dir(dir)
           : c == '%' ? program("")
           : c == '$' ? std::string(kUnderWine ? "\\" : "/")
           : c == '~' ? own_folder()
                      : std::string(1, c);
  }
  return out;
}

enum Folder { kPlain, kUnwritable, kNoRunBit, kInTemp };
enum Where { kBoth, kLinux, kWine };

// Sets the folder up as the row asks; the folder it is then, or "" when it cannot be had.
std::string set_up(const std::string& name, const char* exe, std::string engine, const char* script,
                   Folder folder) {
  const std::size_t slash = engine.find('/');
  std::string dir = make_test_dir(name, exe, slash == std::string::npos ? engine : "", script);
  if (slash != std::string::npos) {  // an engine in a folder of its own, one level down
    mkdir((dir + "/" + engine.substr(0, slash)).c_str(), 0755);
    if (symlink(ORV_FAKE_ENGINE_PATH, (dir + "/" + program(engine)).c_str()) != 0) return "";
  }
  if (folder == kNoRunBit) {  // a copy of the engine without its run bit
    const std::string copy = "cp '" + std::string(ORV_FAKE_ENGINE_PATH) + "' '" + dir + "/" +
                             engine + "' && chmod 644 '" + dir + "/" + engine + "'";
    if (unlink((dir + "/" + engine).c_str()) != 0 || std::system(copy.c_str()) != 0) return "";
  }
  if (folder == kInTemp && kUnderWine) {  // Wine keeps its own Temp folder
    const std::string temp = temp_folder() + "/" + name;
    const std::string move = "rm -rf '" + temp + "' && mv '" + dir + "' '" + temp + "'";
    return temp.size() > name.size() + 1 && std::system(move.c_str()) == 0 ? temp : "";
  }
  return dir;
}

}  // namespace

TEST(SelfCheck, FoldersRightAndWrong) {
  const char* const kSilent =
      "[NOTE] The engine started but did not answer within 10 s, where molvara says its name "
      "at once: it may be another program (a USI engine, say), or still loading its files.";
  const struct {
    const char* name;
    const char* exe;
    const char* engine;  // "" for none, "folder/name" for one a level down
    const char* script;
    const char* ini_dir;  // the folder recorded in orv_molvara.ini beforehand, "@" for this one
    Folder folder;        // what is done to it
    Where where;
    int code;
    const char* verdicts;
    const char* lines;  // the English lines that tell, one after another
  } cases[] = {
      {"check_fine", "orv_molvara", "molvara", "", "", kPlain, kBoth, 0, "OK OK OK OK OK OK",
       "[OK] The engine started and said its name: Molvara Version 2.0"},
      {"check_ini_here", "orv_molvara", "molvara", "", "@", kPlain, kBoth, 0, "OK OK OK OK OK OK",
       "[OK] orv_molvara.ini is there: engine Kept, folder @"},
      {"check_ini_elsewhere", "orv_molvara", "molvara", "", "/elsewhere/", kPlain, kBoth, 0,
       "OK OK OK OK OK NOTE",
       "[NOTE] orv_molvara.ini names another folder, /elsewhere/: the next start starts the "
       "engine and rewrites it."},
      {"check_no_engine", "orv_molvara", "", "", "", kPlain, kBoth, 1, "OK OK FAIL SKIP OK OK",
       "[FAIL] The engine @molvara% is missing: put the engine in this folder under the name "
       "molvara%."},
      {"check_similar_name", "orv_molvara", "molvara (1)", "", "", kPlain, kBoth, 1,
       "OK OK FAIL SKIP OK OK",
       "[FAIL] The engine @molvara% is missing, but files with a similar name are here: "
       "molvara (1)%. Rename the engine molvara%."},
      {"check_engine_in_its_folder", "orv_molvara", "engine/molvara", "", "", kPlain, kBoth, 1,
       "OK OK FAIL SKIP OK OK",
       "[FAIL] The engine molvara% is not in this folder but in @engine$: move orv_molvara% into "
       "that folder, beside the engine, and register it there (the engine stays with the files "
       "it came with)."},
      {"check_copied_adapter", "orv_molvara (1)", "molvara", "", "", kPlain, kBoth, 1,
       "OK FAIL SKIP OK",
       "[OK] orv " ORV_VERSION ": the USI adapter for molvara. Register orv_molvara% in the GUI "
       "as the engine, not molvara%.\n"
       "[FAIL] The adapter's name orv_molvara (1)% asks for the engine molvara (1)%, which is "
       "not here, but molvara% is: rename the adapter orv_molvara%."},
      {"check_copied_adapter_ja", "orv_molvara - \xe3\x82\xb3\xe3\x83\x94\xe3\x83\xbc", "molvara",
       "", "", kPlain, kBoth, 1, "OK FAIL SKIP OK",
       "[FAIL] The adapter's name orv_molvara - \xe3\x82\xb3\xe3\x83\x94\xe3\x83\xbc% asks for "
       "the engine molvara - \xe3\x82\xb3\xe3\x83\x94\xe3\x83\xbc%, which is not here, but "
       "molvara% is: rename the adapter orv_molvara%."},
      {"check_other_engine", "orv-kato", "kato", "", "", kPlain, kBoth, 1, "OK FAIL SKIP OK",
       "[OK] orv " ORV_VERSION ": the USI adapter for kato. Register orv_kato% in the GUI as "
       "the engine, not kato%.\n"
       "[FAIL] The adapter's name orv-kato% is wrong: rename it orv_kato%."},
      {"check_wrong_name", "orv-molvara", "molvara", "", "", kPlain, kBoth, 1, "OK FAIL SKIP OK",
       "[FAIL] The adapter's name orv-molvara% is wrong: rename it orv_molvara%."},
      {"check_mute_engine", "orv_molvara", "molvara", "@start|exit|0\n", "", kPlain, kBoth, 1,
       "OK OK OK FAIL OK OK",
       "[FAIL] The engine molvara% ended at once, with exit code 0, and wrote nothing."},
      // The engine's own words, which a double-clicked console engine shows too briefly to read.
      {"check_engine_words", "orv_molvara", "molvara",
       "@start|err|eval file nn.bin not found\n@start|exit|1\n", "", kPlain, kBoth, 1,
       "OK OK OK FAIL OK OK",
       "[FAIL] The engine molvara% ended at once, with exit code 1. What it wrote last:\n"
       "  standard error: eval file nn.bin not found"},
      {"check_ends_after_its_name", "orv_molvara", "molvara",
       "@start|out|Molvara Version 2.0\n@start|err|book.bin is missing\n@start|exit|2\n", "",
       kPlain, kBoth, 1, "OK OK OK FAIL OK OK",
       "[FAIL] The engine molvara% ended at once, with exit code 2. What it wrote last:\n"
       "  standard error: book.bin is missing\n  standard output: Molvara Version 2.0"},
      {"check_missing_dll", "orv_molvara", "molvara", "@start|exit|0xC0000135\n", "", kPlain, kWine,
       1, "OK OK OK FAIL OK OK",
       "[FAIL] The engine molvara% ended at once, with exit code 0xC0000135, and wrote nothing.\n"
       "  0xC0000135: a DLL the engine needs is missing: install what its makers name (such as a "
       "Visual C++ runtime), or put the DLL beside the engine."},
      {"check_wrong_bits", "orv_molvara", "molvara", "@start|exit|0xC000007B\n", "", kPlain, kWine,
       1, "OK OK OK FAIL OK OK",
       "  0xC000007B: the engine and a DLL it loads are not both 64-bit (or both 32-bit): get "
       "builds that match."},
      {"check_no_run_bit", "orv_molvara", "molvara", "", "", kNoRunBit, kLinux, 1,
       "OK OK OK FAIL OK OK",
       "[FAIL] The engine molvara may not run: give it the right to run (chmod +x molvara)."},
      // A program of the engine's holds its pipes long after the engine has been ended.
      {"check_engine_with_logger", "orv_molvara", "molvara",
       "@start|orphan|30000\n@start|out|Molvara Version 2.0\n", "", kPlain, kBoth, 0,
       "OK OK OK OK OK OK", "[OK] The engine started and said its name: Molvara Version 2.0"},
      // A USI engine, or another program named molvara, says nothing in molvara's language.
      {"check_silent_engine", "orv_molvara", "molvara",
       "@start|err|usage: engine [options]\n@start|sleep|30000\n", "", kPlain, kBoth, 1,
       "OK OK OK NOTE OK OK", "  standard error: usage: engine [options]"},
      {"check_slow_engine", "orv_molvara", "molvara",
       "@start|sleep|30000\n@start|out|Molvara Version 2.0\n", "", kPlain, kBoth, 1,
       "OK OK OK NOTE OK OK", kSilent},
      // Run from Explorer's view into the zip: the files are in a Temp folder for a moment.
      {"check_in_temp", "orv_molvara", "molvara", "", "", kInTemp, kBoth, 1, "OK OK OK OK FAIL OK",
       "[FAIL] The folder lies in the folder for temporary files, where a program started from "
       "inside a zip is put for a moment: unpack the whole package (on Windows: right-click the "
       "zip, Extract All) into a folder of your own such as ~, and start orv there."},
      {"check_unwritable", "orv_molvara", "molvara", "", "", kUnwritable, kLinux, 1,
       "OK OK OK OK FAIL OK",
       "[FAIL] The folder cannot be written: its permissions do not let you write in it. Allow "
       "it (chmod u+w \"@\") or move the whole folder to one of your own, such as ~."},
      {"check in Program Files", "orv_molvara", "molvara", "", "", kUnwritable, kLinux, 1,
       "OK OK OK OK FAIL OK",
       "[FAIL] The folder cannot be written: it lies in Program Files. Move the whole folder to "
       "one of your own, such as ~, and register orv in the GUI again."},
      {"check in OneDrive", "orv_molvara", "molvara", "", "", kUnwritable, kLinux, 1,
       "OK OK OK OK FAIL OK",
       "[FAIL] The folder cannot be written: it lies in OneDrive. Move the whole folder out of "
       "OneDrive to one of your own, such as ~, and register orv in the GUI again."},
  };
  for (const auto& c : cases) {
    if (c.where == (kUnderWine ? kLinux : kWine)) continue;  // Wine keeps no folder rights
    const std::string dir = set_up(c.name, c.exe, c.engine, c.script, c.folder);
    ASSERT_FALSE(dir.empty()) << c.name;
    if (*c.ini_dir) {
      write_file(dir + "/orv_molvara.ini",
                 "[Molvara]\nDir=" + expand(c.ini_dir, dir) + "\nName=Kept\n");
    }
    const std::set<std::string> before = files_in(dir);
    if (c.folder == kUnwritable) chmod(dir.c_str(), 0555);
    if (c.folder == kInTemp) setenv("TMPDIR", ORV_TEST_WORK_DIR, 1);
    AdapterSession s;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(c.folder == kUnwritable ? start_adapter_unprivileged(s, dir, "--check")
                                        : start_adapter(s, dir, c.exe, "--check"));
    unsetenv("TMPDIR");
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
    const bool wine_temp = kUnderWine && c.folder == kInTemp;  // on drive C, not Z
    EXPECT_EQ(english.front(),
              "orv self-check of the folder " +
                  (wine_temp ? wine_value("TEMP") + "\\" + c.name + "\\" : native_dir(dir)))
        << c.name;
    const bool failed = std::strstr(c.verdicts, "FAIL") != nullptr;
    EXPECT_EQ(english.back(), failed ? kWrong : c.code != 0 ? kNotAllWell : kAllWell) << c.name;
    if (slow) {
      EXPECT_NE(std::find(english.begin(), english.end(), kSilent), english.end()) << c.name;
    }
    for (const std::string& line : split_lines(c.lines)) {
      EXPECT_NE(std::find(english.begin(), english.end(), expand(line, dir)), english.end())
          << c.name << ": " << expand(line, dir);
    }
    // Nothing is left behind but what the engine itself writes: no ini, no position file.
    for (const std::string& name : files_in(dir)) {
      const bool engines =
          name == "engine.pid" || name == "engine_start.log" || name == "commands.log";
      EXPECT_TRUE(before.count(name) || engines) << c.name << ": " << name;
    }
  }
}

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

// Starts the adapter in dir at a terminal of its own, as a person does.
pid_t start_at_terminal(const std::string& dir, int& terminal) {
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    setenv("WINEDEBUG", "-all", 1);
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (kUnderWine) execlp("wine", "wine", "orv_molvara.exe", nullptr);
    execl("./orv_molvara", "orv_molvara", nullptr);
    _exit(127);
  }
  return pid;
}

// The same, once the check has started the engine.
pid_t start_at_terminal_with_engine(const std::string& dir, int& terminal) {
  const pid_t pid = start_at_terminal(dir, terminal);
  for (int waited = 0; pid > 0 && !file_exists(dir + "/engine.pid") && waited < 10000;
       waited += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pid;
}

}  // namespace

#ifndef ORV_UNDER_WINE
// A person at a terminal sees the check, then types USI commands as before.
TEST(SelfCheck, ByHandAtATerminal) {
  const std::string dir = make_test_dir("check_by_hand");
  int terminal = -1;
  const pid_t pid = start_at_terminal(dir, terminal);
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

// A person who types quit while the check waits for a silent engine ends orv at once, and the
// engine with it; what is typed before it is kept for orv.
TEST(SelfCheck, QuitDuringTheEnginesSilence) {
  const std::string dir = make_test_dir("check_quit_in_silence", "orv_molvara", "molvara",
                                        "@start|sleep|20000\n@start|out|Molvara Version 2.0\n");
  int terminal = -1;
  const pid_t pid = start_at_terminal_with_engine(dir, terminal);
  ASSERT_GT(pid, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto asked = std::chrono::steady_clock::now();
  ASSERT_EQ(write(terminal, "quit\r", 5), 5);  // and the Enter key
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(terminal);
  EXPECT_FALSE(file_exists(dir + "/orv_molvara.ini"));
}

#ifndef ORV_UNDER_WINE
// More lines pasted during the engine's silence than orv holds for later are kept waiting in
// the terminal, not taken for the end of the input: orv answers them, and what follows.
TEST(SelfCheck, PastedLinesDuringTheEnginesSilenceWait) {
  const std::string dir = make_test_dir("check_paste_in_silence", "orv_molvara", "molvara",
                                        "@start|sleep|1500\n@start|out|Molvara Version 2.0\n");
  int terminal = -1;
  const pid_t pid = start_at_terminal_with_engine(dir, terminal);
  ASSERT_GT(pid, 0);
  termios mode;  // no echo: what orv writes is all there is to read
  ASSERT_EQ(tcgetattr(terminal, &mode), 0);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  ASSERT_EQ(tcsetattr(terminal, TCSANOW, &mode), 0);
  std::string paste;
  while (paste.size() < 24000) paste += "isready\r";
  paste += "usi\r";
  // A terminal's person reads while pasting: the answers are read meanwhile.
  std::thread typist([&] {
    EXPECT_EQ(write(terminal, paste.data(), paste.size()), static_cast<ssize_t>(paste.size()));
  });
  std::string seen;
  EXPECT_TRUE(read_until(terminal, seen, "usiok", 20000)) << seen.substr(0, 2000);
  typist.join();
  ASSERT_EQ(write(terminal, "quit\r", 5), 5);
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  close(terminal);
}
#endif

// A failed check started by hand (a double-click) stays until it has been read, and orv then
// ends: it starts the engine no more and writes no ini.
TEST(SelfCheck, ByHandAfterAFailure) {
  const struct {
    const char* name;
    const char* engine;
    const char* script;
    int starts;  // of the engine: by the check alone
  } cases[] = {
      {"check_by_hand_no_engine", "", "", 0},
      {"check_by_hand_engine_ends", "molvara", "@start|err|nn.bin not found\n@start|exit|1\n", 1},
  };
  for (const auto& c : cases) {
    const std::string dir = make_test_dir(c.name, "orv_molvara", c.engine, c.script);
    int terminal = -1;
    const pid_t pid = start_at_terminal(dir, terminal);
    ASSERT_GT(pid, 0);
    std::string seen;
    EXPECT_TRUE(read_until(terminal, seen, "Press Enter to close.", 20000)) << seen;
    EXPECT_EQ(seen.find("Waiting for USI commands"), std::string::npos) << c.name;
    if (!kUnderWine) {  // where a console of Wine's own draws the lines, wrapped
      std::vector<std::string> japanese, english;
      split_blocks(seen, japanese, english);
      ASSERT_GE(english.size(), 2u) << c.name;
      EXPECT_EQ(english[english.size() - 2], kWrong) << c.name;
      EXPECT_EQ(japanese.back(),
                "Enter \xe3\x82\xad\xe3\x83\xbc\xe3\x82\x92\xe6\x8a\xbc\xe3\x81\x99"
                "\xe3\x81\xa8\xe9\x96\x89\xe3\x81\x98\xe3\x81\xbe\xe3\x81\x99\xe3"
                "\x80\x82")  // Enter キーを押すと閉じます。
          << c.name;
    }
    // It waits for the person.
    read_until(terminal, seen, "<nothing more>", 500);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << c.name;
    ASSERT_EQ(write(terminal, "\r", 1), 1);  // the Enter key
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << c.name;
    close(terminal);
    EXPECT_FALSE(file_exists(dir + "/orv_molvara.ini")) << c.name;
    const std::string log = read_file(dir + "/engine_start.log");
    int starts = 0;
    for (std::size_t at = log.find("cwd="); at != std::string::npos; at = log.find("cwd=", at + 1))
      ++starts;
    EXPECT_EQ(starts, c.starts) << c.name;
  }
}
