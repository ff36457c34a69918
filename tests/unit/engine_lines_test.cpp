// Engine lines through the translator, without threads or pipes: what the GUI reads and
// what the engine is sent.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "notation/position_file.h"
#include "platform/platform.h"
#include "texts.h"
#include "translate/engine_lines.h"

namespace {

const std::string kUnexpected = text_of(kMolvUnexpected, platform::narrow_text_is_cp932());
const std::string kClosing = text_of(kClosingLine, platform::narrow_text_is_cp932()) + "\n";

struct Translator {
  State s;
  OptionValues& options = s.options;
  std::vector<std::string> commands;

  Translator() {
    std::string report;
    position_file_text(s.position,
                       "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1\n", false,
                       report);
    s.engine.running = true;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string dir =
        ::testing::TempDir() + "orv_" + test->test_suite_name() + test->name() + "_";
    s.files = {dir + "orv.csa", dir + "sfenbk.dat", dir + "lastmove.dat", dir + "restraint.dat"};
    std::remove(s.files.position.c_str());
    std::remove(s.files.last_move.c_str());
    s.out = Outbox{};
  }

  // The GUI text for one line (or a piece of one), a search asked before it as "go" would;
  // engine commands are collected.
  std::string line(const std::string& text, std::uint32_t now = 0, bool ends_line = true) {
    if (!engine_owes(s.game.searches)) search_asked(s.game.searches, false);
    translate_engine_piece(s, text, ends_line, now);
    for (std::size_t at = 0, lf; (lf = s.out.engine.find('\n', at)) != std::string::npos;
         at = lf + 1) {
      commands.push_back(s.out.engine.substr(at, lf - at));
    }
    const std::string gui = s.out.gui;
    s.out = Outbox{};
    return gui;
  }
};

}  // namespace

TEST(ScoreLine, ScoreDepthAndVariation) {
  Translator t;
  EXPECT_EQ(t.line("info-0.35 +7776FU -3334FU", 1500),
            "info time 1500 depth 2 score cp -35 pv 7g7f 3c3d\n");
  // A promotion is judged on the board the variation has reached.
  EXPECT_EQ(t.line("info+1.5 +7776FU -3334FU +8822UM -3122GI"),
            "info time 0 depth 4 score cp 15 pv 7g7f 3c3d 8h2b+ 3a2b\n");
  EXPECT_EQ(t.line("info+0.10 +7776FU -3334FU [book 3] x"),
            "info time 0 depth 2 score cp 10 pv 7g7f 3c3d [book 3] x\n");
  EXPECT_EQ(t.line("info0 +7776FU "), "info time 0 depth 1 score cp 0 pv 7g7f\n");
  EXPECT_EQ(t.line("infox +7776FU"), "info time 0 depth 1 score cp -2147483648 pv 7g7f\n");
  EXPECT_EQ(t.line("info-0.35"), "info\n");  // no variation: the line goes no further
}

// A variation stops before the first move that is no legal move on the board it has
// reached; the score and the moves before it are still shown.
TEST(ScoreLine, VariationEndsBeforeAMoveItCannotRead) {
  const struct {
    const char* line;
    const char* gui;
  } cases[] = {
      {"info-0.35 +77", "info time 0 score cp -35\n"},               // a move cut short is no move
      {"info-0.35  +7776FU -3334FU", "info time 0 score cp -35\n"},  // a doubled blank
      {"info-0.35 +7776FU -3334FU +7775FU", "info time 0 depth 2 score cp -35 pv 7g7f 3c3d\n"},
      {"info-0.35 +7776FU +2726FU", "info time 0 depth 1 score cp -35 pv 7g7f\n"},  // not its turn
      // A move the board allows but the rules do not: a knight's step it cannot make.
      {"info-0.35 +7776FU -3334FU +2924KE", "info time 0 depth 2 score cp -35 pv 7g7f 3c3d\n"},
      {"info-0.35 +7776FU -3334FU +8822KI", "info time 0 depth 2 score cp -35 pv 7g7f 3c3d\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Translator().line(c.line), c.gui) << c.line;
  }
}

TEST(ScoreLine, LongVariationStopsAt99Moves) {
  Translator t;
  std::string line = "info+0.01";
  const char* shuffle[] = {" +5958OU", " -5152OU", " +5859OU", " -5251OU"};
  for (int i = 0; i < 150; ++i) line += shuffle[i % 4];
  std::string gui = t.line(line);
  EXPECT_EQ(gui.substr(0, 30), "info time 0 depth 100 score cp");
  std::size_t moves = 0;
  for (std::size_t at = gui.find(" pv") + 3; (at = gui.find(' ', at)) != std::string::npos; ++at) {
    ++moves;
  }
  EXPECT_EQ(moves, 99u);
}

TEST(CandidateLine, ReportedFromTheEndThenClosed) {
  Translator t;
  EXPECT_EQ(t.line("info 7776FU(60%) 2726FU(30%) 5756FU(10%)"),
            "info nodes 10 pv 5g5f\ninfo nodes 30 pv 2g2f\ninfo nodes 60 pv 7g7f\n" + kClosing);
  EXPECT_EQ(t.line("info no candidates"), kClosing);
  EXPECT_EQ(t.line("info 76FU(60%)"), kClosing);                 // no room for a move before "("
  EXPECT_EQ(t.line("info 7776FU(60%) 7776KI(30%) 2726FU(10%)"),  // no gold on 7g
            "info nodes 10 pv 2g2f\ninfo nodes 60 pv 7g7f\n" + kClosing);
  EXPECT_EQ(t.line("info 8822KA(60%) 2726FU(40%)"),  // a bishop through its own pawn
            "info nodes 40 pv 2g2f\n" + kClosing);
  EXPECT_EQ(t.line("info 7776FU(12345678.9 %)"),
            "info nodes 12345678.9  pv 7g7f\n" + kClosing);  // any length, blanks kept
}

TEST(StatisticsLine, HashfullAndSpeed) {
  Translator t;
  EXPECT_EQ(t.line("statsatu=12 nodes=34 nps=56"), "info nps 560 hashfull 120\n");
  EXPECT_EQ(t.line("statsatu=7"), "stat\n");
  EXPECT_EQ(t.line("statsatu=7 nodes=1"), "stat2\n");
  EXPECT_EQ(t.line("statsatu=x n=1 s=y"), "info nps 0 hashfull 0\n");           // not numbers
  EXPECT_EQ(t.line("statsatu=1 n=1 s=429496730"), "info nps 4 hashfull 10\n");  // 32 bits
}

TEST(OtherLines, SilentKindsResignAndUnknown) {
  Translator t;
  EXPECT_EQ(t.line("info ponder start"), "");
  EXPECT_EQ(t.line("info ponder end"), "");
  EXPECT_EQ(t.line("info tt 1234"), "");
  EXPECT_EQ(t.line("pong"), "");
  EXPECT_EQ(t.line("resign"), "info currmove resign\nbestmove resign\n");
  EXPECT_EQ(t.line("hello engine"), "hello engine" + kUnexpected + "\n");
  EXPECT_EQ(t.line("Move7776FU"), "Move7776FU" + kUnexpected + "\n");
  // Nothing the engine writes passes for an answer of orv's.
  EXPECT_EQ(t.line("bestmove 7g7f"), "info string bestmove 7g7f" + kUnexpected + "\n");
  EXPECT_EQ(t.line("readyok"), "info string readyok" + kUnexpected + "\n");
  EXPECT_EQ(t.line("\x01\tbestmove 7g7f"), "info string  \tbestmove 7g7f" + kUnexpected + "\n");
  EXPECT_TRUE(t.commands.empty());
}

// Nothing an engine writes reaches the GUI as a line end or a control byte of its own.
TEST(OtherLines, CarriageReturnsAndControlBytes) {
  const struct {
    std::string line, gui;
  } cases[] = {
      {"\r\rmove7776FU\r\r", "info currmove 7g7f\nbestmove 7g7f\n"},
      {"\r\r", ""},
      {"10%\rbestmove 1a1b", "10% bestmove 1a1b" + kUnexpected + "\n"},
      {std::string("a\0b\x1b[0m\tc\x7f", 10), "a b [0m\tc " + kUnexpected + "\n"},
      {"info+0.10 +7776FU [x\ry]", "info time 0 depth 1 score cp 10 pv 7g7f [x y]\n"},
      {"info 7776FU(6\x01%)", "info nodes 6  pv 7g7f\n" + kClosing},
  };
  for (const auto& c : cases) EXPECT_EQ(Translator().line(c.line), c.gui) << c.line;

  std::mt19937 random(5);
  const char* starts[] = {"move", "info", "info ", "info+1 +7776FU ", "statsatu=", "x", ""};
  const char bytes[] = "\r\n\t\0\x1b\x7f +-%([7776FU";
  for (int round = 0; round < 2000; ++round) {
    Translator t;
    set_option(t.options, kDebug, round % 2 ? "true" : "false");
    std::string line = starts[random() % 7];
    for (int n = random() % 20; n > 0; --n) line += bytes[random() % (sizeof bytes - 1)];
    const std::string gui = t.line(line, 0, random() % 2 == 0);
    for (std::size_t i = 0; i < gui.size(); ++i) {
      const auto c = static_cast<unsigned char>(gui[i]);
      const bool line_end = c == '\n' && (i + 1 == gui.size() || gui[i + 1] != '\n');
      ASSERT_TRUE(c >= 0x20 ? c != 0x7f : c == '\t' || line_end) << line << " gave " << gui;
    }
  }
}

// What comes after the first piece of an over-long line is never taken for a line: the rest
// of a variation or candidate list is dropped, only an unknown line is echoed whole.
TEST(OtherLines, PiecesOfAnOverLongLine) {
  const struct {
    std::vector<std::string> pieces;  // all but the last end no line
    std::string gui;
  } cases[] = {
      {{"info-0.35 +7776FU -3334FU +2726F", "U -8384FU"},
       "info time 0 depth 2 score cp -35 pv 7g7f 3c3d\n"},
      {{"info 7776FU(60%) 2726FU(3", "0%)"}, "info nodes 60 pv 7g7f\n" + kClosing},
      {{"info-0.35 +7776FU", " move2726FU", "\r\rmove5756FU"},
       "info time 0 depth 1 score cp -35 pv 7g7f\n"},
      {{"hello", " engine\r", "\r"}, "hello" + kUnexpected + "\n engine " + kUnexpected + "\n"},
      {{"hello", "usiok"}, "hello" + kUnexpected + "\ninfo string usiok" + kUnexpected + "\n"},
      {{"\r", "move7776FU"}, ""},  // a line of carriage returns, however long, is none
  };
  for (const auto& c : cases) {
    Translator t;
    std::string gui;
    for (std::size_t i = 0; i < c.pieces.size(); ++i) {
      gui += t.line(c.pieces[i], 0, i + 1 == c.pieces.size());
    }
    EXPECT_EQ(gui, c.gui) << c.pieces[0];
    EXPECT_EQ(t.line("move7776FU"), "info currmove 7g7f\nbestmove 7g7f\n");  // a line again
  }
}
