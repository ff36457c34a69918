// Engine lines through the translator, without threads or pipes: what the GUI reads,
// what the engine is sent, and the state left behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "notation/moves.h"
#include "notation/position_file.h"
#include "platform/platform.h"
#include "texts.h"
#include "translate/engine_lines.h"
#include "unit/files.h"

namespace {

const std::string kUnexpected = text_of(kMolvUnexpected, platform::narrow_text_is_cp932());
const std::string kClosing = text_of(kClosingLine, platform::narrow_text_is_cp932()) + "\n";

struct Translator {
  Position position;
  GameState game;
  OptionValues options;
  EngineState engine;
  PositionFiles files;
  EngineLineState state{position, position, game, options, engine, files, {}, {}};
  std::vector<std::string> commands;

  Translator() {
    Outbox out;
    position_file_text(
        position, "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1\n", false, out);
    engine.running = true;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string dir =
        ::testing::TempDir() + "orv_" + test->test_suite_name() + test->name() + "_";
    files = {dir + "orv.csa", dir + "sfenbk.dat", dir + "lastmove.dat", dir + "restraint.dat"};
    std::remove(files.position.c_str());
    std::remove(files.last_move.c_str());
  }

  bool asking = true;  // a search is asked before each line, as "go" would

  // The GUI text for one line (or a piece of one); engine commands are collected.
  std::string line(const std::string& text, std::uint32_t now = 0, bool ends_line = true) {
    if (asking && !game.searches.owed) search_asked(game.searches, false);
    Outbox out;
    translate_engine_piece(state, text, ends_line, now, out);
    std::string gui;
    for (const Outbox::Entry& e : out.entries) {
      std::string piece = out.text.substr(e.begin, e.end - e.begin);
      if (e.target == Outbox::kGui) {
        gui += piece;
      } else {
        commands.push_back(piece);
      }
    }
    return gui;
  }
};

}  // namespace

TEST(MoveLine, ReportsAndPlaysTheEnginesMove) {
  Translator t;
  EXPECT_EQ(t.line("move7776FU"), "info currmove 7g7f\nbestmove 7g7f\n");
  EXPECT_EQ(t.game.last_bestmove, "7g7f");
  EXPECT_STREQ(t.game.last_move_record, "7776FU\n");
  EXPECT_EQ(t.position.board[usi_square('7', 'f')], kBlackPiece);
  EXPECT_EQ(t.position.side_to_move, 1);
  EXPECT_EQ(read_file(t.files.last_move), "<missing>");  // AnotherHand is off

  set_option(t.options, kAnotherHand, "true");
  set_option(t.options, kFlipHorizontal, "true");
  EXPECT_EQ(t.line("move7374FU"), "info currmove 3c3d\nbestmove 3c3d\n");
  // The record keeps the engine's own characters, mirrored files and all.
  EXPECT_EQ(read_file(t.files.last_move), "7374FU\n");
  EXPECT_TRUE(t.commands.empty());
}

// A move line that is no move on the board (black to move from the start position) ends
// the search with a resign, and changes nothing.
TEST(MoveLine, MoveThatCannotBeReadResigns) {
  const char* rests[] = {
      "9999ZZ",   // squares outside the board, an unknown piece code
      "+7776FU",  // a sign
      " 7776FU",  // a blank
      "XXXX",     // cut short
      "7777FU",   // the same square twice
      "7776__",   // the code of no piece
      "5554FU",   // from an empty square
      "3334FU",   // the other side's piece
      "7776KI",   // not the piece that stands there
      "8877KA",   // onto the mover's own piece
      "0055FU",   // a drop of a piece not in hand
      "0000FU",   // a drop onto no square
  };
  for (const char* rest : rests) {
    Translator t;
    set_option(t.options, kAnotherHand, "true");
    t.game.last_bestmove = "2g2f";
    const Position before = t.position;
    EXPECT_EQ(t.line(std::string("move") + rest), std::string("info string engine move ") + rest +
                                                      " cannot be read\nbestmove resign\n");
    EXPECT_EQ(std::memcmp(&t.position, &before, sizeof before), 0) << rest;
    EXPECT_EQ(t.game.last_bestmove, "2g2f") << rest;
    EXPECT_EQ(read_file(t.files.last_move), "<missing>") << rest;
  }
}

// A move that came with a read done before the search was asked (a copy of the last answer)
// cannot answer it.
TEST(MoveLine, AnswersOnlyASearchAskedBeforeItCame) {
  Translator t;
  t.asking = false;
  search_asked(t.game.searches, false, 3, 0);
  t.state.read = 3;
  EXPECT_EQ(t.line("move7776FU"), "info string engine answer with no search asked: move7776FU\n");
  t.state.read = 4;
  EXPECT_EQ(t.line("move7776FU"), "info currmove 7g7f\nbestmove 7g7f\n");
}

TEST(MoveLine, UnwritableLastMoveFileIsReported) {
  Translator t;
  set_option(t.options, kAnotherHand, "true");
  t.files.last_move = "/nonexistent/folder/lastmove.dat";
  EXPECT_EQ(t.line("move7776FU"),
            "info string lastmove.dat cannot be written\ninfo currmove 7g7f\nbestmove 7g7f\n");
}

TEST(MoveLine, InfBookRestartDuringGoInfinite) {
  const struct {
    bool candidates, go_infinite, inf_book, v1;
    std::vector<std::string> commands;
  } cases[] = {
      {true, true, true, false, {"read orv.csa", "book off", "limit time 0 86400", "move"}},
      {true, true, true, true, {"read orv.csa", "book off", "limit time 86400", "move"}},
      {false, true, true, false, {}},
      {true, false, true, false, {}},
      {true, true, false, false, {}},
  };
  for (const auto& c : cases) {
    Translator t;
    t.engine.is_v1 = c.v1;
    set_option(t.options, kInfBook, c.inf_book ? "true" : "false");
    if (c.go_infinite) search_asked(t.game.searches, true);
    if (c.candidates) t.line("info 7776FU(60%)");
    std::string gui = t.line("move7776FU", 4321);
    EXPECT_EQ(t.commands, c.commands);
    if (c.commands.empty()) {
      EXPECT_EQ(gui, "info currmove 7g7f\nbestmove 7g7f\n");
    } else {
      EXPECT_EQ(gui, "");
      EXPECT_EQ(t.game.search_start_tick, 4321u);
      EXPECT_EQ(t.game.last_bestmove, "");
      EXPECT_EQ(t.position.side_to_move, 0);  // the board did not move
      t.line("move2726FU");                   // still after candidates: restarts again
      EXPECT_EQ(t.commands.size(), 8u);
    }
  }
}

TEST(ScoreLine, ScoreDepthAndVariation) {
  Translator t;
  t.game.search_start_tick = 1000;
  const Position before = t.position;
  EXPECT_EQ(t.line("info-0.35 +7776FU -3334FU", 2500),
            "info time 1500 depth 2 score cp -35 pv 7g7f 3c3d\n");
  EXPECT_EQ(std::memcmp(&t.position, &before, sizeof before), 0);
  // A promotion is judged on the board the variation has reached.
  EXPECT_EQ(t.line("info+1.5 +7776FU -3334FU +8822UM -3122GI", 1000),
            "info time 0 depth 4 score cp 15 pv 7g7f 3c3d 8h2b+ 3a2b\n");
  EXPECT_EQ(t.line("info+0.10 +7776FU -3334FU [book 3] x", 1000),
            "info time 0 depth 2 score cp 10 pv 7g7f 3c3d [book 3] x\n");
  EXPECT_EQ(t.line("info0 +7776FU ", 1000), "info time 0 depth 1 score cp 0 pv 7g7f\n");
  EXPECT_EQ(t.line("infox +7776FU", 1000), "info time 0 depth 1 score cp -2147483648 pv 7g7f\n");
  EXPECT_EQ(t.line("info-0.35", 1000), "info\n");  // no variation: the line goes no further
  EXPECT_EQ(std::memcmp(&t.position, &before, sizeof before), 0);
}

// A variation stops before the first move that is no move on the board it has reached; the
// score and the moves before it are still shown.
TEST(ScoreLine, VariationEndsBeforeAMoveItCannotRead) {
  const struct {
    const char* line;
    const char* gui;
  } cases[] = {
      {"info-0.35 +77", "info time 0 score cp -35\n"},               // a move cut short is no move
      {"info-0.35  +7776FU -3334FU", "info time 0 score cp -35\n"},  // a doubled blank
      {"info-0.35 +7776FU -3334FU +7775FU", "info time 0 depth 2 score cp -35 pv 7g7f 3c3d\n"},
      {"info-0.35 +7776FU +2726FU", "info time 0 depth 1 score cp -35 pv 7g7f\n"},  // not its turn
      {"info-0.35 +7776FU -3334FU +8822KI", "info time 0 depth 2 score cp -35 pv 7g7f 3c3d\n"},
  };
  for (const auto& c : cases) {
    Translator t;
    const Position before = t.position;
    EXPECT_EQ(t.line(c.line), c.gui) << c.line;
    EXPECT_EQ(std::memcmp(&t.position, &before, sizeof before), 0) << c.line;
  }
}

TEST(ScoreLine, SignFollowsSideToMoveAndPondering) {
  const struct {
    int side;
    bool pondering;
    const char* score;
  } cases[] = {{0, false, "-35"}, {1, false, "35"}, {0, true, "35"}, {1, true, "-35"}};
  for (const auto& c : cases) {
    Translator t;
    t.position.side_to_move = static_cast<std::uint8_t>(c.side);
    t.line(c.pondering ? "info ponder start" : "info ponder end");
    std::string gui = t.line(c.side == 0 ? "info-0.35 +7776FU" : "info-0.35 -3334FU");
    EXPECT_NE(gui.find(std::string(" score cp ") + c.score + " pv"), std::string::npos) << gui;
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
  EXPECT_EQ(t.position.board[usi_square('5', 'i')], kBlackPiece | 7);
}

TEST(CandidateLine, ReportedFromTheEndThenClosed) {
  Translator t;
  EXPECT_EQ(t.line("info 7776FU(60%) 2726FU(30%) 5756FU(10%)"),
            "info nodes 10 pv 5g5f\ninfo nodes 30 pv 2g2f\ninfo nodes 60 pv 7g7f\n" + kClosing);
  EXPECT_TRUE(t.game.info_seen);
  EXPECT_EQ(t.position.side_to_move, 0);  // judged, not played
  t.game.info_seen = false;
  EXPECT_EQ(t.line("info no candidates"), kClosing);
  EXPECT_TRUE(t.game.info_seen);
  EXPECT_EQ(t.line("info 76FU(60%)"), kClosing);                 // no room for a move before "("
  EXPECT_EQ(t.line("info 7776FU(60%) 7776KI(30%) 2726FU(10%)"),  // no gold on 7g
            "info nodes 10 pv 2g2f\ninfo nodes 60 pv 7g7f\n" + kClosing);
  EXPECT_EQ(t.line("info 7776FU(12345678.9 %)"),
            "info nodes 12345678.9  pv 7g7f\n" + kClosing);  // any length, blanks kept
}

TEST(StatisticsLine, HashfullAndSpeed) {
  Translator t;
  t.game.info_seen = true;
  EXPECT_EQ(t.line("statsatu=12 nodes=34 nps=56"), "info nps 560 hashfull 120\n");
  EXPECT_FALSE(t.game.info_seen);
  EXPECT_EQ(t.line("statsatu=7"), "stat\n");
  EXPECT_EQ(t.line("statsatu=7 nodes=1"), "stat2\n");
  EXPECT_EQ(t.line("statsatu=x n=1 s=y"), "info nps 0 hashfull 0\n");           // not numbers
  EXPECT_EQ(t.line("statsatu=1 n=1 s=429496730"), "info nps 4 hashfull 10\n");  // 32 bits
}

TEST(OtherLines, SilentKindsResignAndUnknown) {
  Translator t;
  const Position before = t.position;
  EXPECT_EQ(t.line("info ponder start"), "");
  EXPECT_TRUE(t.game.pondering);
  EXPECT_EQ(t.line("info ponder end"), "");
  EXPECT_FALSE(t.game.pondering);
  EXPECT_EQ(t.line("info tt 1234"), "");
  EXPECT_EQ(t.line("pong"), "");
  t.game.last_bestmove = "2g2f";
  EXPECT_EQ(t.line("resign"), "info currmove resign\nbestmove resign\n");
  EXPECT_EQ(t.game.last_bestmove, "2g2f");
  EXPECT_EQ(t.line("hello engine"), "hello engine" + kUnexpected + "\n");
  EXPECT_EQ(t.line("Move7776FU"), "Move7776FU" + kUnexpected + "\n");
  EXPECT_EQ(std::memcmp(&t.position, &before, sizeof before), 0);
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

TEST(ErrorRelay, InfoStringAndTheTwoComplaints) {
  const struct {
    const char* line;
    bool searching;  // the engine owes a search, asked after 3 reads of standard error
    const char* gui;
    std::uint64_t read = 4;  // the read that brought the line
  } cases[] = {
      {"unknown command", true, "info string unknown command\n"},
      {"No legal moves to search", true, "info string No legal moves to search\nbestmove resign\n"},
      // A complaint with no search under way answers nothing; nor one that came with a read
      // done before the search was asked (read 3 here).
      {"No legal moves to search", false, "info string No legal moves to search\n"},
      {"No legal moves to search", true, "info string No legal moves to search\n", 3},
      {"error: move after a game was concluded!", true,
       "info string error: move after a game was concluded!\nbestmove resign\n"},
      {"No legal moves to search; move after a game was concluded", true,
       "info string No legal moves to search; move after a game was concluded\n"
       "bestmove resign\n"},
      {"Loading eval 10%\r20%\r\r", true, "info string Loading eval 10% 20%\n"},
      {"\r\r", true, ""},
  };
  for (const auto& c : cases) {
    Outbox out;
    GameState game;
    if (c.searching) search_asked(game.searches, false, 0, 3);
    if (!complaint_answers(c.line, game, c.read, out)) relay_error_line(c.line, out);
    EXPECT_EQ(out.text, c.gui) << c.line;
  }
}
