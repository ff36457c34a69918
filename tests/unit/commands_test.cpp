// GUI lines through the command loop's dispatch, without threads or pipes: what the GUI
// is answered and which commands the engine would receive.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "front/search_commands.h"
#include "front/usi_loop.h"
#include "platform/platform.h"
#include "texts.h"

namespace {

struct Handled {
  std::string gui;
  std::vector<std::string> engine;
  LoopAction action = LoopAction::kContinue;
};

std::unique_ptr<Adapter> running_adapter(bool v1 = false, bool v2 = true, bool v3 = false) {
  auto a = std::make_unique<Adapter>();
  a->engine.running = true;
  a->engine.is_v1 = v1, a->engine.is_v2 = v2, a->engine.is_v3 = v3;
  // Tests run in parallel processes: each has a file of its own.
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string ini =
      ::testing::TempDir() + "orv_" + test->test_suite_name() + "_" + test->name() + ".ini";
  a->ini_path = platform::to_path(ini);
  std::remove(ini.c_str());
  return a;
}

Handled handle(Adapter& a, const std::string& text) {
  // The engine keeps its contract: a search is answered before the next is asked; and the
  // GUI gives its position before each search, as GUIs do (the board stays as it is here).
  if (asks_search(text) && a.game.searches.owed) {
    search_answered(a.game.searches);
    position_given(a.game.searches);
  }
  UsiLine line{text, 0};
  Outbox out;
  Handled h;
  h.action = dispatch_usi_line(a, line, out);
  for (const Outbox::Entry& e : out.entries) {
    std::string piece = out.text.substr(e.begin, e.end - e.begin);
    if (e.target == Outbox::kGui)
      h.gui += piece;
    else
      h.engine.push_back(piece);
  }
  return h;
}

using Commands = std::vector<std::string>;

}  // namespace

TEST(UsiNewGame, CommandsByEngineVersion) {
  const struct {
    bool v1, v2, v3;
    Commands commands;
  } cases[] = {
      {true, false, false, {"book on"}},
      {false,
       true,
       false,
       {"limit time strict", "resign 32596", "ponder off", "book wide", "book on"}},
      {false,
       false,
       true,
       {"limit time strict", "resign 32596", "ponder off", "book wide", "book on"}},
      {false,
       false,
       false,
       {"tlp num 1", "limit time strict", "resign 32596", "ponder off", "book wide", "book on"}},
  };
  for (const auto& c : cases) {
    auto a = running_adapter(c.v1, c.v2, c.v3);
    handle(*a, "usi\n");  // loads the defaults
    Handled h = handle(*a, "usinewgame\n");
    EXPECT_EQ(h.engine, c.commands) << c.v1 << c.v2 << c.v3;
    EXPECT_EQ(h.gui, "");
  }
}

TEST(UsiNewGame, OptionsShapeTheSettings) {
  auto a = running_adapter(false, false, false);
  handle(*a, "usi\n");
  for (const char* line :
       {"setoption name TimeExtendable value true\n", "setoption name USI_Ponder value true\n",
        "setoption name BookNarrow value true\n", "setoption name Threads value 4\n",
        "setoption name Resign value 3000\n", "setoption name TimeControl value Nodes\n",
        "setoption name Nodes value 50000\n", "setoption name BookNum value 0\n",
        "setoption name Command value hash 256\n"}) {
    handle(*a, line);
  }
  a->game.last_bestmove = "7g7f";
  Handled h = handle(*a, "usinewgame\n");
  EXPECT_EQ(h.engine, (Commands{"tlp num 4", "limit time extendable", "resign 3000", "ponder on",
                                "book narrow", "limit nodes 50000", "book off", "hash 256"}));
  EXPECT_TRUE(a->game.time_limit_sent);
  EXPECT_TRUE(a->game.book_disabled);
  EXPECT_EQ(a->game.last_bestmove, "");

  handle(*a, "setoption name TimeControl value Depth\n");
  handle(*a, "setoption name Depth value 7\n");
  handle(*a, "setoption name BookNum value 5\n");
  h = handle(*a, "usinewgame\n");
  EXPECT_EQ(h.engine[5], "limit depth 7");
  EXPECT_EQ(h.engine[6], "book on");
  EXPECT_EQ(a->game.book_limit, 5);
  EXPECT_FALSE(a->game.book_disabled);
}

// Blanks and tabs a GUI leaves after a check, spin or combo value do not change what it
// means.
TEST(UsiNewGame, TrailingBlanksDoNotChangeAValue) {
  auto a = running_adapter(false, false, false);
  handle(*a, "usi\n");
  for (const char* line :
       {"setoption name TimeExtendable value false \n", "setoption name USI_Ponder value false\t\n",
        "setoption name BookNarrow value true \t\n", "setoption name Threads value 4 \n",
        "setoption name Resign value 3000\t\n", "setoption name TimeControl value Depth \n",
        "setoption name Depth value 7 \n", "setoption name BookNum value 0 \n",
        "setoption name Debug value false \n"}) {
    handle(*a, line);
  }
  Handled h = handle(*a, "usinewgame\n");
  EXPECT_EQ(h.engine, (Commands{"tlp num 4", "limit time strict", "resign 3000", "ponder off",
                                "book narrow", "limit depth 7", "book off"}));
  EXPECT_EQ(h.gui, "");  // Debug is off: nothing traced
}

TEST(Go, FirstSearchOfAGameSendsTheTimeLimit) {
  const struct {
    const char* line;
    bool white, v1;
    const char* limit;
  } cases[] = {
      {"go btime 600000 wtime 300000 byoyomi 10000\n", false, false, "limit time 10 10"},
      {"go btime 600000 wtime 300000 byoyomi 10000\n", true, false, "limit time 5 10"},
      {"go btime 90000 wtime 90000 byoyomi 30000\n", false, false, "limit time 1 30"},
      {"go btime 0 wtime 0 byoyomi 500\n", false, false, "limit time 0 0"},
      {"go btime 600000 wtime 600000 binc 10000 winc 10000\n", false, false, "limit time 10 0"},
      {"go btime 600000 wtime 300000 byoyomi 10000\n", false, true, "limit time 10"},
      {"go\n", false, false, "limit time 0 0"},
      {"go btime 600000 wtime 300000 byoyomi 10000\r\n", false, true, "limit time 10"},
      // Held at the largest 32-bit number.
      {"go btime 99999999999999999999999 byoyomi 2147483648000\n", false, false,
       "limit time 35791394 2147483647"},
  };
  for (const auto& c : cases) {
    auto a = running_adapter(c.v1, !c.v1, false);
    a->position.side_to_move = c.white ? 1 : 0;
    Handled h = handle(*a, c.line);
    EXPECT_EQ(h.engine, (Commands{c.limit, "move"})) << c.line;
    // The limit is sent once per game.
    EXPECT_EQ(handle(*a, c.line).engine, (Commands{"move"})) << c.line;
  }
}

TEST(Go, SearchCommandFollowsPendingMoveAndRestraint) {
  auto a = running_adapter();
  a->game.time_limit_sent = true;
  a->game.pending_move = "2726FU";
  EXPECT_EQ(handle(*a, "go btime 1 wtime 1\n").engine, (Commands{"2726FU"}));
  EXPECT_EQ(a->game.pending_move, "2726FU");  // kept until the next position
  EXPECT_EQ(handle(*a, "go infinite\n").engine,
            (Commands{"book off", "limit time 0 86400", "2726FU"}));
  EXPECT_EQ(handle(*a, "stop\n").engine, (Commands{"s"}));
  a->game.restraint_active = true;
  // After an analysis the game's limit is sent again: it left the engine on a day's search.
  EXPECT_EQ(handle(*a, "go\n").engine, (Commands{"limit time 0 0", "2726FU"}));  // no AnotherHand
  set_option(a->options, kAnotherHand, "true");
  EXPECT_EQ(handle(*a, "go\n").engine, (Commands{"move restraint"}));
  a->game.book_limit = 30;
  EXPECT_EQ(handle(*a, "go infinite\n").engine,
            (Commands{"book on", "limit time 0 86400", "move restraint"}));
  handle(*a, "stop\n");
  // With a node limit for the whole game, there is no time limit to send again.
  set_option(a->options, kTimeControl, "Nodes");
  a->game.time_limit_sent = true;
  handle(*a, "go infinite\n");
  handle(*a, "stop\n");
  EXPECT_EQ(handle(*a, "go\n").engine, (Commands{"move restraint"}));
  a->engine.is_v1 = true;
  EXPECT_EQ(handle(*a, "go infinite\n").engine[1], "limit time 86400");
}

TEST(Loop, LinesThatWriteOrSendLittle) {
  const struct {
    const char* line;
    const char* gui;
    Commands engine;
  } cases[] = {
      {"stop\n", "", {"s"}},
      {"ponderhit\n", "", {}},
      {"gameover win\n", "", {}},
      {"go ponder btime 1\n", "", {}},
      {"go mate 1000\n", "checkmate notimplemented\n", {}},
  };
  for (const auto& c : cases) {
    auto a = running_adapter();
    Handled h = handle(*a, c.line);
    EXPECT_EQ(h.gui, c.gui) << c.line;
    EXPECT_EQ(h.engine, c.engine) << c.line;
    EXPECT_EQ(h.action, LoopAction::kContinue);
  }
}

TEST(Loop, UnrecognisedLinesAreEchoedWithTheMessage) {
  const std::string message = text_of(kUsiUnexpected, platform::narrow_text_is_cp932()) + "\n";
  // A word that is no command, an empty line, a leading blank, another letter case.
  for (const char* line : {"hello\n", "\n", " usi\n", "USI\n", "Quit\n", "setoption\n"}) {
    auto a = running_adapter();
    EXPECT_EQ(handle(*a, line).gui, line + message) << line;
  }
  auto a = running_adapter();
  EXPECT_EQ(handle(*a, "bye").gui, "bye" + message);  // a last line without line feed
}

TEST(Loop, QuitClosesTheLinkAndSendsNothing) {
  auto a = running_adapter();
  Handled h = handle(*a, "quit\n");
  EXPECT_EQ(h.action, LoopAction::kExitOk);
  EXPECT_TRUE(h.engine.empty());
  EXPECT_FALSE(a->engine.running);
  EXPECT_TRUE(a->quitting.load());
}

TEST(Loop, CommandsBeforeADeferredStartAreDropped) {
  auto a = running_adapter();
  a->engine.running = false;
  EXPECT_TRUE(handle(*a, "usinewgame\n").engine.empty());
  EXPECT_TRUE(handle(*a, "go btime 1000 wtime 1000\n").engine.empty());
  EXPECT_TRUE(handle(*a, "stop\n").engine.empty());
}

TEST(Options, UsiListsTheOptionsWithTheirStoredValues) {
  auto a = running_adapter();
  a->engine_name = "Molvara Version 2.0";
  const std::string defaults =
      "option name TimeControl type combo default USI var USI var Nodes var Depth\n"
      "option name Nodes type spin default 1000 min 1000 max 1000000\n"
      "option name Command type string default <empty>\n"
      "option name Depth type spin default 1 min 1 max 20\n"
      "option name Threads type spin default 1 min 1 max 32\n"
      "option name TimeExtendable type check default false\n"
      "option name BookNum type spin default 100 min 0 max 100\n"
      "option name BookNarrow type check default false\n"
      "option name Resign type spin default 32596 min 0 max 32600\n"
      "option name InfBook type check default false\n"
      "option name FlipHorizontal type check default false\n"
      "option name AnotherHand type check default false\n"
      "option name Debug type check default false\n";
  EXPECT_EQ(handle(*a, "usi\n").gui,
            "id name Molvara Version 2.0\nid author -\n" + defaults + "usiok\n");

  EXPECT_EQ(handle(*a, "setoption name Debug value true\n").gui, "");
  EXPECT_EQ(handle(*a, "setoption name USI_Ponder value true\n").gui, "");
  EXPECT_EQ(option_text(a->options, kUsiPonder), "true");
  EXPECT_EQ(handle(*a, "setoption name Nosuch value 1\n").gui, "");
  EXPECT_EQ(handle(*a, "setoption name Threads 8\n").gui, "setoption\n");  // stored all the same
  EXPECT_EQ(handle(*a, "setoption name Resign value  12 \n").gui, "");
  EXPECT_EQ(option_text(a->options, kResign), " 12 ");  // verbatim
  handle(*a, "setoption name Command value " + std::string(80, 'c') + "\n");
  EXPECT_EQ(option_text(a->options, kCommand), std::string(63, 'c'));

  std::string expected = defaults;
  auto replace = [&](const std::string& from, const std::string& to) {
    expected.replace(expected.find(from), from.size(), to);
  };
  replace("Debug type check default false", "Debug type check default true");
  replace("Threads type spin default 1 ", "Threads type spin default 8 ");
  replace("Resign type spin default 32596 ", "Resign type spin default 12 ");
  replace("default <empty>", "default " + std::string(63, 'c'));
  EXPECT_EQ(handle(*a, "usi\n").gui,
            "id name Molvara Version 2.0\nid author -\n" + expected + "usiok\n");
  EXPECT_EQ(platform::ini_read(a->ini_path, "orv", "USI_Ponder", "missing", 64), "missing");

  // A name with nothing after it stores an empty value and says "setoption".
  EXPECT_EQ(handle(*a, "setoption name Command\n").gui, "setoption\n");
  EXPECT_EQ(platform::ini_read(a->ini_path, "orv", "Command", "missing", 64), "");
  EXPECT_NE(handle(*a, "usi\n").gui.find("Command type string default <empty>\n"),
            std::string::npos);
}
