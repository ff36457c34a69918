// "position" through the command loop's dispatch, with its files in a folder of the test's
// own, and whole games in which the engine's replies come through the translator.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "front/position_command.h"
#include "front/search_commands.h"
#include "front/usi_loop.h"
#include "notation/position_file.h"
#include "platform/platform.h"
#include "translate/engine_lines.h"
#include "unit/files.h"
#include "unit/random_game.h"

namespace {

using Commands = std::vector<std::string>;

struct Handled {
  std::string gui;
  Commands engine;
};

struct Gui {
  std::unique_ptr<Adapter> a = std::make_unique<Adapter>();
  std::string dir;

  Gui() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = ::testing::TempDir() + "orv_" + test->test_suite_name() + "_" + test->name() + "_";
    a->files = {dir + "orv.csa", dir + "sfenbk.dat", dir + "lastmove.dat", dir + "restraint.dat"};
    for (const std::string* f : {&a->files.position, &a->files.stored_position, &a->files.last_move,
                                 &a->files.restraint}) {
      std::remove(f->c_str());
    }
    a->ini_path = platform::to_path(dir + "orv.ini");
    std::remove((dir + "orv.ini").c_str());
    a->engine.running = true;
    a->game.book_limit = 100;
  }

  Handled send(const std::string& text) {
    // The engine keeps its contract: a search is answered before the next is asked.
    if (asks_search(text) && a->game.searches.owed) search_answered(a->game.searches);
    UsiLine line{text, 0};
    Outbox out;
    dispatch_usi_line(*a, line, out);
    return collect(out);
  }

  // The engine's line through the translator, as the output thread would hand it over.
  Handled engine(const std::string& text) {
    EngineLineState state{
        a->position, a->searched_position, a->game, a->options, a->engine, a->files, {}, {}};
    Outbox out;
    translate_engine_line(state, text, 0, out);
    return collect(out);
  }

  static Handled collect(const Outbox& out) {
    Handled h;
    for (const Outbox::Entry& e : out.entries) {
      std::string piece = out.text.substr(e.begin, e.end - e.begin);
      if (e.target == Outbox::kGui) {
        h.gui += piece;
      } else {
        h.engine.push_back(piece);
      }
    }
    return h;
  }
};

const std::string kStart = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1";

}  // namespace

TEST(SingleNewMove, WhenTheArgumentGrowsByBestmoveAndOneMove) {
  const struct {
    const char* previous;
    const char* bestmove;
    const char* argument;
    bool single;
  } cases[] = {
      {"startpos moves 7g7f\n", "3c3d", "startpos moves 7g7f 3c3d 2g2f\n", true},
      {"startpos moves 7g7f\n", "3c3d", "startpos moves 7g7f 3c3d 8h2b+\n", true},
      {"startpos moves 7g7f\n", "3c3d", "startpos moves 7g7f 3c3d 2g2f 8c8d\n", false},
      {"startpos\n", "7g7f", "startpos moves 7g7f 3c3d\n", false},
      {"", "7g7f", "startpos moves 7g7f 3c3d\n", false},
      {"startpos moves 7g7f 3c3d\n", "", "startpos moves 7g7f 3c3d 8h2b+\n", false},  // none
      {"startpos moves 7g7f\n", "3c3d", "startpos moves 7g7f 3c3e 2g2f\n", false},
      {"startpos moves 2g2f\n", "3c3d", "startpos moves 7g7f 3c3d 2g2f\n", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_single_new_move(c.argument, c.previous, c.bestmove), c.single) << c.argument;
  }
}

TEST(Position, FullReloadThenSingleMoves) {
  Gui g;
  // A last line without its line feed names the same position, and nothing past it.
  for (const char* line : {"position startpos", "position startpos\n"}) {
    Handled h = g.send(line);
    EXPECT_EQ(h.gui, "") << line;
    EXPECT_EQ(h.engine, (Commands{"read orv.csa"}));
    EXPECT_EQ(read_file(g.a->files.position).size(), 278u);
  }
  EXPECT_EQ(g.send("go btime 1 wtime 1\n").engine, (Commands{"limit time 0 0", "move"}));
  EXPECT_EQ(g.engine("move7776FU").gui, "info currmove 7g7f\nbestmove 7g7f\n");
  // The first engine move after a bare "startpos" cannot continue it: reloaded in full.
  EXPECT_EQ(g.send("position startpos moves 7g7f 3c3d\n").engine, (Commands{"read orv.csa"}));
  EXPECT_EQ(g.send("go btime 1 wtime 1\n").engine, (Commands{"move"}));
  g.a->game.pondering = true;
  g.engine("move2726FU");
  Handled h = g.send("position startpos moves 7g7f 3c3d 2g2f 8c8d\n");
  EXPECT_TRUE(h.engine.empty());
  EXPECT_EQ(g.a->game.pending_move, "8384FU");
  EXPECT_TRUE(g.a->game.pondering);  // kept by a single new move
  EXPECT_EQ(g.send("go btime 1 wtime 1\n").engine, (Commands{"8384FU"}));
  EXPECT_EQ(g.a->position.move_number, 4);
  EXPECT_EQ(g.a->position.side_to_move, 0);
  // A take-back is a full reload, and clears pondering; the search the GUI left unanswered is
  // stopped first.
  EXPECT_EQ(g.send("position startpos moves 7g7f 3c3d\n").engine, (Commands{"s", "read orv.csa"}));
  EXPECT_EQ(g.a->game.pending_move, "");
  EXPECT_FALSE(g.a->game.pondering);
  EXPECT_EQ(g.a->position.move_number, 2);
  EXPECT_EQ(g.engine("move9394FU").gui, "");  // the search left: neither shown nor played
  EXPECT_EQ(g.a->position.move_number, 2);
  // The engine played that move on its own board: the position is loaded again.
  EXPECT_EQ(g.send("go btime 1 wtime 1\n").engine, (Commands{"read orv.csa", "move"}));
  EXPECT_EQ(g.engine("move2726FU").gui, "info currmove 2g2f\nbestmove 2g2f\n");
  EXPECT_EQ(g.send("position startpos moves 7g7f 3c3d\n").engine, (Commands{"read orv.csa"}));
  EXPECT_EQ(g.send("position startpos moves 7g7f 3c3d 2g2f 8c8d\n").engine,
            (Commands{"read orv.csa"}));
  // A position that comes while the engine still searches is loaded whole: the engine plays
  // its move in its own game before it reads further.
  g.send("go btime 1 wtime 1\n");
  EXPECT_EQ(g.engine("move2625FU").gui, "info currmove 2f2e\nbestmove 2f2e\n");
  g.send("go btime 1 wtime 1\n");
  EXPECT_EQ(g.send("position startpos moves 7g7f 3c3d 2g2f 8c8d 2f2e 8d8e\n").engine,
            (Commands{"s", "read orv.csa"}));
}

// An analysis the GUI leaves without "stop" gets no bestmove: a new "go" drops one held for
// it. The engine has played that move on its board: the search is of the GUI's position.
TEST(Analysis, NewSearchEndsAnAnalysisNeverStopped) {
  Gui g;
  g.send("position startpos\n");
  g.send("go infinite\n");
  EXPECT_EQ(g.engine("move7776FU").gui, "info currmove 7g7f\n");  // held for a stop
  Handled h = g.send("go btime 1 wtime 1\n");
  EXPECT_EQ(h.gui, "");
  EXPECT_EQ(h.engine, (Commands{"read orv.csa", "limit time 0 0", "move"}));
  EXPECT_EQ(g.engine("move2726FU").gui, "info currmove 2g2f\nbestmove 2g2f\n");
}

// The GUI's analysis: the player follows the engine's suggestion and answers it.
TEST(Analysis, SingleNewMoveIsSearchedAndRestartedFromTheBoardShown) {
  Gui g;
  g.send("setoption name InfBook value true\n");
  g.send("position startpos moves 7g7f\n");
  g.send("go infinite\n");
  g.send("stop\n");
  EXPECT_EQ(g.engine("move3334FU").gui, "info currmove 3c3d\nbestmove 3c3d\n");
  const std::string shown = "startpos moves 7g7f 3c3d 2g2f\n";
  EXPECT_TRUE(g.send("position " + shown).engine.empty());
  EXPECT_EQ(g.send("go infinite\n").engine, (Commands{"book on", "limit time 0 86400", "2726FU"}));
  g.engine("info 8384FU(50%) 4132KI(50%)");
  // A book answer: the engine is to search again, from the position on the GUI's board.
  Handled h = g.engine("move8384FU");
  EXPECT_EQ(h.gui, "");
  EXPECT_EQ(h.engine, (Commands{"read orv.csa", "book off", "limit time 0 86400", "move"}));
  Position expected;
  Outbox ignored;
  EXPECT_EQ(read_file(g.a->files.position),
            position_file_text(expected, kStart + shown.substr(8), false, ignored));
  EXPECT_EQ(std::memcmp(g.a->position.board, expected.board, sizeof expected.board), 0);
  EXPECT_EQ(g.a->position.side_to_move, 1);

  // Where the file cannot be written, the book move is reported as it came, its bestmove
  // after the GUI's stop.
  g.a->files.position = "/nonexistent/folder/orv.csa";
  h = g.engine("move8384FU");
  EXPECT_EQ(h.gui,
            "info string /nonexistent/folder/orv.csa cannot be written\ninfo currmove 8c8d\n");
  EXPECT_TRUE(h.engine.empty());
  h = g.send("stop\n");
  EXPECT_EQ(h.gui, "bestmove 8c8d\n");
  EXPECT_EQ(h.engine, (Commands{"s"}));
}

TEST(Position, ArgumentWithoutStartposOrSfenIsEchoedAndIgnored) {
  Gui g;
  g.send("position startpos moves 7g7f\n");
  g.send("go btime 1 wtime 1\n");
  std::remove(g.a->files.position.c_str());
  Handled h = g.send("position fen x\n");
  EXPECT_EQ(h.gui, "position fen x\n\n");
  EXPECT_TRUE(h.engine.empty());  // the search goes on
  EXPECT_EQ(read_file(g.a->files.position), "<missing>");
  EXPECT_EQ(g.a->position.move_number, 1);  // the board copy is untouched
  EXPECT_EQ(g.engine("move3334FU").gui, "info currmove 3c3d\nbestmove 3c3d\n");
}

// With no position from the GUI, a search asked again is of the start, where the engine's
// game began, not of the board its last answer left.
TEST(Position, SearchAgainWithNoPositionEverIsOfTheStart) {
  Gui g;
  set_start_position(g.a->position);  // as start-up leaves it
  g.send("go btime 1 wtime 1\n");
  EXPECT_EQ(g.engine("move7776FU").gui, "info currmove 7g7f\nbestmove 7g7f\n");
  EXPECT_EQ(g.send("go btime 1 wtime 1\n").engine, (Commands{"read orv.csa", "move"}));
  EXPECT_EQ(g.engine("move7776FU").gui, "info currmove 7g7f\nbestmove 7g7f\n");
}

TEST(Position, UnwritablePositionFileIsReportedAndNotRead) {
  Gui g;
  g.a->files.position = "/nonexistent/folder/orv.csa";
  Handled h = g.send("position sfen " + kStart + "\n");
  EXPECT_EQ(h.gui, "");
  EXPECT_TRUE(h.engine.empty());
  // Told once, at the search the engine cannot be given.
  h = g.send("go btime 1 wtime 1\n");
  EXPECT_EQ(h.gui, "info string /nonexistent/folder/orv.csa cannot be written\nbestmove resign\n");
  EXPECT_TRUE(h.engine.empty());
}

TEST(Position, BookIsSwitchedOffOnceAtBookNum) {
  Gui g;
  g.send("setoption name BookNum value 30\n");
  EXPECT_EQ(g.send("usinewgame\n").engine.back(), "book on");
  EXPECT_EQ(g.send("position sfen 4k4/9/9/9/9/9/9/9/4K4 b - 30\n").engine,
            (Commands{"read orv.csa"}));
  EXPECT_EQ(g.send("position sfen 4k4/9/9/9/9/9/9/9/4K4 b - 31\n").engine,
            (Commands{"read orv.csa", "book off"}));
  EXPECT_EQ(g.send("position sfen 4k4/9/9/9/9/9/9/9/4K4 b - 40\n").engine,
            (Commands{"read orv.csa"}));
  // An analysis turns the book on; the game's next search turns it off again.
  EXPECT_EQ(g.send("go infinite\n").engine.front(), "book on");
  g.send("stop\n");
  EXPECT_EQ(g.send("go btime 1 wtime 1\n").engine,
            (Commands{"read orv.csa", "book off", "limit time 0 0", "move"}));
  EXPECT_EQ(g.send("go btime 1 wtime 1\n").engine, (Commands{"read orv.csa", "move"}));
  g.send("setoption name BookNum value 0\n");
  EXPECT_EQ(g.send("usinewgame\n").engine.back(), "book off");
  EXPECT_EQ(g.send("position sfen 4k4/9/9/9/9/9/9/9/4K4 b - 40\n").engine,
            (Commands{"read orv.csa"}));
}

TEST(RepeatedPosition, SamePositionAgainRestrainsTheEnginesMove) {
  Gui g;
  g.send("setoption name AnotherHand value true\n");
  const std::string argument = "startpos moves 7g7f\n";
  g.send("position " + argument);
  EXPECT_EQ(read_file(g.a->files.stored_position), argument);
  g.send("go btime 1 wtime 1\n");
  EXPECT_EQ(g.engine("move3334FU").gui, "info currmove 3c3d\nbestmove 3c3d\n");
  EXPECT_EQ(read_file(g.a->files.last_move), "3334FU\n");

  // Again, although it now reads as bestmove plus nothing: restrained, reloaded whole.
  EXPECT_EQ(g.send("position " + argument).engine, (Commands{"read orv.csa"}));
  EXPECT_TRUE(g.a->game.restraint_active);
  EXPECT_EQ(read_file(g.a->files.restraint), "3334FU\n");
  EXPECT_EQ(g.send("go btime 1 wtime 1\n").engine.back(), "move restraint");
  EXPECT_EQ(g.send("go infinite\n").engine.back(), "move restraint");
  g.engine("move8384FU");
  g.send("position " + argument);
  EXPECT_EQ(read_file(g.a->files.restraint), "3334FU\n8384FU\n");

  // Even a single new move is sent whole while restrained.
  g.send("position startpos moves 7g7f 3c3d 2g2f\n");
  g.a->game.last_bestmove = "8c8d";
  write_file(g.a->files.stored_position, "startpos moves 7g7f 3c3d 2g2f 8c8d 2f2e\n");
  EXPECT_EQ(g.send("position startpos moves 7g7f 3c3d 2g2f 8c8d 2f2e\n").engine,
            (Commands{"read orv.csa"}));

  // Another position ends the memory.
  g.send("position startpos moves 2g2f\n");
  EXPECT_FALSE(g.a->game.restraint_active);
  EXPECT_EQ(read_file(g.a->files.restraint), "<missing>");
  EXPECT_EQ(g.send("go\n").engine.back(), "move");
}

TEST(RepeatedPosition, OddFilesNeverAppendStaleBytes) {
  const struct {
    const char* last_move;  // nullptr: no file
    const char* appended;
  } cases[] = {
      {nullptr, "<missing>"},
      {"3334F", "<missing>"},           // short
      {"3334FU\nextra\n", "3334FU\n"},  // longer than a record: its first record
  };
  for (const auto& c : cases) {
    Gui g;
    g.send("setoption name AnotherHand value true\n");
    g.send("position startpos\n");
    std::remove(g.a->files.last_move.c_str());
    if (c.last_move) write_file(g.a->files.last_move, c.last_move);
    g.send("position startpos\n");
    EXPECT_TRUE(g.a->game.restraint_active);
    EXPECT_EQ(read_file(g.a->files.restraint), c.appended);
  }
  Gui g;
  g.send("setoption name AnotherHand value true\n");
  write_file(g.a->files.stored_position, std::string(30000, 's'));
  g.send("position startpos\n");
  EXPECT_FALSE(g.a->game.restraint_active);
  EXPECT_EQ(read_file(g.a->files.stored_position), "startpos\n");
}

TEST(WholeGames, BoardCopyFollowsTheGuiThroughRandomGames) {
  std::mt19937 random(7);
  int singles = 0;
  for (int round = 0; round < 40; ++round) {
    const bool flip = round % 2 == 1;
    Gui g;
    g.send(std::string("setoption name FlipHorizontal value ") + (flip ? "true" : "false") + "\n");
    g.send("usinewgame\n");
    Game game = start_game();
    std::string moves;
    bool engine_is_black = round % 4 < 2;
    // The GUI's first position: the start, or the start and its first move.
    Move m;
    if (!engine_is_black) {
      random_move(game, random, m);
      moves += " " + usi_of(m);
      play(game, m);
    }
    for (int ply = 0; ply < 80; ++ply) {
      Handled h = g.send("position startpos" + (moves.empty() ? "" : " moves" + moves) + "\n");
      singles += h.engine.empty();
      ASSERT_TRUE(game_of(g.a->position) == game) << moves;
      g.send("go btime 60000 wtime 60000\n");
      if (!random_move(game, random, m)) break;
      const std::string usi = usi_of(m);
      ASSERT_EQ(g.engine("move" + csa_of(game, m, flip)).gui,
                "info currmove " + usi + "\nbestmove " + usi + "\n");
      play(game, m);
      moves += " " + usi;
      ASSERT_TRUE(game_of(g.a->position) == game) << moves;
      if (!random_move(game, random, m)) break;
      moves += " " + usi_of(m);
      play(game, m);
    }
    // A new game from a position given by SFEN.
    g.send("usinewgame\n");
    g.send("position sfen " + sfen_of(game, 81) + "\n");
    EXPECT_TRUE(game_of(g.a->position) == game);
  }
  EXPECT_GT(singles, 1000);
}
