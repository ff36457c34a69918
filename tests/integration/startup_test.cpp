// Start-up as a GUI sees it: the name check, the engine started at once or at the first
// "isready", and the configuration file that remembers the engine per folder.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "integration/adapter_session.h"

namespace {

const std::string kBadName =
    "orv: \xe5\xae\x9f\xe8\xa1\x8c\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab\xe3\x81\xae"
    "\xe5\x90\x8d\xe5\x89\x8d\xe3\x81\x8c\xe6\xad\xa3\xe3\x81\x97\xe3\x81\x8f\xe3\x81\x82\xe3\x82"
    "\x8a\xe3\x81\xbe\xe3\x81\x9b\xe3\x82\x93\xe3\x80\x82\norv_molvara \xe3\x81\xae\xe3\x82\x88"
    "\xe3\x81\x86\xe3\x81\xab\xe3\x83\xaa\xe3\x83\x8d\xe3\x83\xbc\xe3\x83\xa0\xe3\x81\x97\xe3\x81"
    "\xa6\xe3\x81\x8f\xe3\x81\xa0\xe3\x81\x95\xe3\x81\x84\xe3\x80\x82\n";
const std::string kCannotStart =
    " \xe3\x82\x92\xe8\xb5\xb7\xe5\x8b\x95\xe3\x81\x99\xe3\x82\x8b\xe3\x81\x93\xe3\x81\xa8\xe3\x81"
    "\x8c\xe3\x81\xa7\xe3\x81\x8d\xe3\x81\xbe\xe3\x81\x9b\xe3\x82\x93\xe3\x80\x82\n";

std::vector<std::string> usi_reply(AdapterSession& s) {
  send(s, "usi\n");
  return lines_until(s, "usiok");
}

}  // namespace

TEST(Startup, WrongExecutableNamesAreRefused) {
  for (const char* exe : {"orv_", "ORV_molvara", "molvara_orv", "orv"}) {
    std::string dir = make_test_dir(std::string("badname_") + exe, exe);
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir, exe));
    EXPECT_EQ(wait_exit(s), 1) << exe;
    // Windows shows a message box instead.
    if (!kUnderWine) {
      EXPECT_EQ(s.err, kBadName) << exe;
    }
    EXPECT_EQ(rest_of_output(s), "") << exe;
    EXPECT_FALSE(file_exists(dir + "/" + exe + ".ini")) << exe;
    EXPECT_FALSE(file_exists(dir + "/molvara.ini")) << exe;
    EXPECT_FALSE(file_exists(dir + "/engine.pid")) << exe;
  }
}

TEST(Startup, MissingEngineOrEngineThatEndsBeforeItsBanner) {
  const struct {
    const char* name;
    const char* engine;
    const char* script;
  } cases[] = {
      {"no_engine", "", ""},
      {"silent_engine", "molvara", "@start|exit|0\n"},
      // A program of the engine's holds its pipes long after it has gone.
      {"helper_holds_pipes", "molvara", "@start|orphan|10000\n@start|exit|0\n"},
  };
  for (const auto& c : cases) {
    std::string dir = make_test_dir(c.name, "orv_molvara", c.engine, c.script);
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    EXPECT_EQ(wait_exit(s), 1) << c.name;
    if (!kUnderWine) {
      EXPECT_EQ(s.err, "orv: molvara" + kCannotStart) << c.name;
    }
    EXPECT_EQ(rest_of_output(s), "") << c.name;
    EXPECT_FALSE(file_exists(dir + "/orv_molvara.ini")) << c.name;
  }
}

TEST(Startup, FirstRunStartsTheEngineAndRemembersIt) {
  std::string dir = make_test_dir("first_run");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  auto reply = usi_reply(s);
  ASSERT_EQ(reply.size(), 16u);
  EXPECT_EQ(reply[0], "id name Molvara Version 2.0");
  EXPECT_EQ(reply[1], "id author -");
  EXPECT_EQ(reply[2], "option name TimeControl type combo default USI var USI var Nodes var Depth");
  EXPECT_EQ(reply[14], "option name Debug type check default false");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(read_text_file(dir + "/orv_molvara.ini"),
            "[Molvara]\nDir=" + native_dir(dir) + "\nName=Molvara Version 2.0\n");
  // Started in its folder, by its path, with the one argument.
  const std::string folder = native_dir(dir).substr(0, native_dir(dir).size() - 1);
  const std::string argv0 = kUnderWine ? native_dir(dir) + "molvara.exe" : "molvara";
  EXPECT_EQ(read_file(dir + "/engine_start.log"),
            "cwd=" + folder + "\nargv[0]=" + argv0 + "\nargv[1]=csa_shogi\n");
  EXPECT_EQ(engine_commands(dir), "<eof>\n");  // quit sends nothing
}

// Empty lines and control bytes before and in the banner: the banner is the first line with
// text, and the engine's version is known by it.
TEST(Startup, BlankLinesBeforeTheBannerAreNoBanner) {
  std::string dir =
      make_test_dir("blank_before_banner", "orv_molvara", "molvara",
                    "@start|raw|\\r\\n\\n\\r\\r\\n \\t\\r\\n\\rMolvara Version 1.0\\x01 - The "
                    "Computer Shogi Engine\\r\\r\\n\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  EXPECT_EQ(usi_reply(s)[0], "id name Molvara Version 1.0 ");
  send(s, "isready\nusinewgame\ngo btime 0 wtime 0 byoyomi 10000\n");
  EXPECT_EQ(next_line(s), "readyok");
  engine_commands_so_far(s.dir, 2);
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(rest_of_output(s), "");
  EXPECT_EQ(engine_commands(dir),
            "book on\nlimit time 10\nmove\n<eof>\n");  // version 1: no settings
}

// A complaint before the banner, and more on standard error than its pipe holds: the engine
// is read as it writes and gets to its banner.
TEST(Startup, ComplaintAndFloodBeforeTheBanner) {
  std::string dir = make_test_dir("complaint_before_banner", "orv_molvara", "molvara",
                                  "@start|err|No legal moves to search\n@start|errflood|6000\n"
                                  "@start|out|Molvara Version 2.0\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "usi\n");
  EXPECT_EQ(lines_until(s, "usiok", 10000).back(), "usiok");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

// A first line longer than a line's room is one line: its rest is no line of its own (here
// a move nobody asked for).
TEST(Startup, OverLongBannerIsOneLine) {
  const std::string banner = "Molvara Version 2.0 " + std::string(20459, 'x');
  std::string dir = make_test_dir("long_banner", "orv_molvara", "molvara",
                                  "@start|raw|" + banner + "move7776FU\\r\\n\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  EXPECT_EQ(usi_reply(s)[0].substr(0, 28), "id name Molvara Version 2.0 ");
  send(s, "isready\n");
  EXPECT_EQ(lines_until(s, "readyok"), std::vector<std::string>{"readyok"});
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

// A name kept by an earlier run that is longer than is read back is cut between characters.
TEST(Startup, NameReadBackIsCutBetweenCharacters) {
  if (kUnderWine) GTEST_SKIP() << "the profile service reads the name in UTF-16 units";
  std::string dir = make_test_dir("long_name");
  const std::string name = std::string(257, 'n') + "\xe5\xb0\x86";  // 将 across byte 259
  write_file(dir + "/orv_molvara.ini",
             "[Molvara]\nDir=" + native_dir(dir) + "\nName=" + name + "\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  EXPECT_EQ(usi_reply(s)[0], "id name " + std::string(257, 'n'));
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}

TEST(Startup, LaterRunsAnswerFromTheFileAndStartAtIsready) {
  std::string dir = make_test_dir("later_run", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 3.1 - The Computer Shogi Engine\n");
  write_file(dir + "/orv_molvara.ini",
             "[Molvara]\nDir=" + native_dir(dir) + "\nName=Remembered Name\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  EXPECT_EQ(usi_reply(s)[0], "id name Remembered Name");
  EXPECT_FALSE(file_exists(dir + "/engine.pid"));  // not started before "isready"
  send(s, "usinewgame\n");                         // no engine yet: dropped
  send(s, "isready\n");
  EXPECT_EQ(next_line(s), "readyok");
  EXPECT_TRUE(file_exists(dir + "/engine.pid"));
  send(s, "isready\n");
  EXPECT_EQ(next_line(s), "readyok");
  send(s, "usi\n");
  EXPECT_EQ(next_line(s), "id name Molvara Version 3.1");  // the new name is kept
  lines_until(s, "usiok");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(engine_commands(dir), "<eof>\n");
  EXPECT_EQ(read_text_file(dir + "/orv_molvara.ini"),
            "[Molvara]\nDir=" + native_dir(dir) + "\nName=Molvara Version 3.1\n");
}

TEST(Startup, FileFromAnotherFolderStartsTheEngineAtOnce) {
  std::string dir = make_test_dir("moved_folder");
  write_file(dir + "/orv_molvara.ini",
             "[Molvara]\nDir=/somewhere/else/\nName=Old\n[orv]\nDebug=false\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  EXPECT_EQ(usi_reply(s)[0], "id name Molvara Version 2.0");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(
      read_text_file(dir + "/orv_molvara.ini"),
      "[Molvara]\nDir=" + native_dir(dir) + "\nName=Molvara Version 2.0\n[orv]\nDebug=false\n");
}

TEST(Startup, AnotherEngineNameGivesItsOwnFileAndSuffix) {
  // The name loses its last "." and what follows: orv_kaede.beta.exe serves kaede.beta,
  // and a POSIX orv_kaede.beta serves kaede.
  const std::string engine = kUnderWine ? "kaede.beta" : "kaede";
  std::string dir = make_test_dir("other_engine", "orv_kaede.beta", engine);
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir, "orv_kaede.beta"));
  EXPECT_EQ(usi_reply(s)[0], "id name Molvara Version 2.0 (" + engine + ")");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_TRUE(file_exists(dir + "/orv_" + engine + ".ini"));
}

TEST(Startup, FailedDeferredStartIsTold) {
  const struct {
    const char* name;
    const char* engine;
    const char* script;
    bool not_a_program;  // a text file in the engine's place
    const char* said;    // what the engine said before it ended comes first
  } cases[] = {
      {"deferred_no_engine", "", "", false, ""},
      {"deferred_silent_engine", "molvara", "@start|exit|0\n", false, ""},
      {"deferred_not_a_program", "", "", true, ""},
      {"deferred_broken_engine", "molvara", "@start|err|evaluation file is broken\n@start|exit|1\n",
       false, "info string evaluation file is broken\n"},
  };
  for (const auto& c : cases) {
    std::string dir = make_test_dir(c.name, "orv_molvara", c.engine, c.script);
    if (c.not_a_program) write_file(dir + "/" + program("molvara"), "not a program\n");
    write_file(dir + "/orv_molvara.ini", "[Molvara]\nDir=" + native_dir(dir) + "\nName=Gone\n");
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    EXPECT_EQ(usi_reply(s)[0], "id name Gone");
    send(s, "isready\n");
    EXPECT_EQ(wait_exit(s), 1) << c.name;
    EXPECT_EQ(rest_of_output(s), std::string(c.said) + "info string engine " + program("molvara") +
                                     " cannot be started\n")
        << c.name;
  }
}

TEST(Startup, OptionsSurviveARestart) {
  std::string dir = make_test_dir("options_kept");
  {
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s,
         "setoption name Debug value true\nsetoption name Nodes value 5000\n"
         "setoption name USI_Hash value 256\nquit\n");
    EXPECT_EQ(wait_exit(s), 0);
  }
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  auto reply = usi_reply(s);
  ASSERT_EQ(reply.size(), 16u);
  EXPECT_EQ(reply[3], "option name Nodes type spin default 5000 min 1000 max 1000000");
  EXPECT_EQ(reply[14], "option name Debug type check default true");
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
  EXPECT_EQ(read_text_file(dir + "/orv_molvara.ini").find("USI_Hash"), std::string::npos);
}

// A folder named in Japanese with a blank: outside the ANSI code page of an English
// Windows (and of Wine here, run with code page 1252 on any host), where a path narrowed to
// it cannot name the engine.
TEST(Startup, FolderNamedInJapanese) {
  std::string dir = make_test_dir("\xe5\xb0\x86\xe6\xa3\x8b engine", "orv_molvara", "molvara",
                                  "@start|out|Molvara Version 2.0\nmove|out|move7776FU\n");
  for (const char* nodes : {"1000", "5000"}) {
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    auto reply = usi_reply(s);
    ASSERT_EQ(reply.size(), 16u) << nodes;
    EXPECT_EQ(reply[0], "id name Molvara Version 2.0");
    EXPECT_EQ(reply[3], "option name Nodes type spin default " + std::string(nodes) +
                            " min 1000 max 1000000");
    send(s, "setoption name Nodes value 5000\nisready\nusinewgame\nposition startpos\ngo\n");
    EXPECT_EQ(next_line(s), "readyok");
    EXPECT_EQ(next_line(s), "info currmove 7g7f");
    EXPECT_EQ(next_line(s), "bestmove 7g7f");
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0);
    EXPECT_EQ(rest_of_output(s), "");
  }
  EXPECT_EQ(read_file(dir + "/orv.csa").size(), 278u);
}

// "--version" alone, whatever the name and the folder hold: no engine, no file.
TEST(Startup, VersionFlagAndResource) {
  std::string dir = make_test_dir("version", "orv_molvara", "");
  const std::string out = dir + "/version.txt";
  const std::string run = kUnderWine ? "WINEDEBUG=-all wine orv_molvara.exe" : "./orv_molvara";
  const int status =
      std::system(("cd '" + dir + "' && " + run + " --version > version.txt").c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
  EXPECT_EQ(read_text_file(out), "orv " ORV_VERSION "\n");
  EXPECT_FALSE(file_exists(dir + "/orv_molvara.ini"));
#ifdef ORV_UNDER_WINE
  // As Explorer shows it, under the file's properties.
  const std::string query = "cd '" + dir +
                            "' && WINEDEBUG=-all wine '" ORV_VERSION_INFO_PATH
                            "' orv_molvara.exe > resource.txt";
  ASSERT_EQ(std::system(query.c_str()), 0);
  EXPECT_EQ(read_text_file(dir + "/resource.txt"),
            "file version=" ORV_VERSION ".0\nproduct version=" ORV_VERSION
            ".0\nCompanyName=Seed ad6613b4 maintainers\nProductName=orv\nFileDescription=orv: "
            "the molvara engine as a USI engine\nFileVersion=" ORV_VERSION
            "\nProductVersion=" ORV_VERSION
            "\nOriginalFilename=orv_molvara.exe\n"
            "LegalCopyright=Copyright (c) 2026 Seed ad6613b4 maintainers (MIT licence)\n");
#endif
}
