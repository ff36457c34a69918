// A game's dialogue as rows: the settings a new game sends, the clock of the first search,
// the search command that follows the GUI's position, the book and the repeated position.
#include <gtest/gtest.h>

#include "integration/adapter_session.h"
#include "integration/row_runner.h"
#include "notation/position_file.h"

namespace {

const std::string kV1 = "@start|out|Molvara Version 1.5\n";
const std::string kV2 = "@start|out|Molvara Version 2.0\n";
const std::string kV3 = "@start|out|Molvara Version 3.1\n";
const std::string kAnyVersion = "@start|out|Molvara\n";  // takes every setting
// The settings of a new game for a version 2 engine by default, before its limit and book.
const std::string kNewGame = "limit time strict\nresign 32596\nponder off\nbook wide\n";
// The first position and search of a game without "usinewgame" (its book off from the
// start), asked by a "go" that gives no clock.
const std::string kFirstSearch = "read orv.csa\nbook off\nlimit time 0 0\nmove\n";
const std::string kKings = "position sfen 4k4/9/9/9/9/9/9/9/4K4 b - ";

std::string position_file(const std::string& sfen_and_moves) {
  Position position;
  std::string out;
  return position_file_text(position, sfen_and_moves, false, out);
}

}  // namespace

TEST(GameRows, NewGameSendsTheSettingsTheEngineTakes) {
  run_rows(
      "rows_new_game",
      {
          {kV1, "usinewgame\n", "", "book on\n"},
          {kV2, "usinewgame\n", "", kNewGame + "book on\n"},
          {kV3, "usinewgame\n", "", kNewGame + "book on\n"},
          {kAnyVersion, "usinewgame\n", "", "tlp num 1\n" + kNewGame + "book on\n"},
          // With a node limit for the game no search sends a time, and a book off from the
          // start is not turned off again.
          {kAnyVersion,
           "setoption name TimeExtendable value true\nsetoption name USI_Ponder value true\n"
           "setoption name BookNarrow value true\nsetoption name Threads value 4\n"
           "setoption name Resign value 3000\nsetoption name TimeControl value Nodes\n"
           "setoption name Nodes value 50000\nsetoption name BookNum value 0\n"
           "setoption name Command value hash 256\nusinewgame\nposition startpos\ngo\n",
           "",
           "tlp num 4\nlimit time extendable\nresign 3000\nponder on\nbook narrow\n"
           "limit nodes 50000\nbook off\nhash 256\nread orv.csa\nmove\n"},
          // A book up to move 5 is turned off once, from there.
          {kV2,
           "setoption name TimeControl value Depth\nsetoption name Depth value 7\n"
           "setoption name BookNum value 5\nusinewgame\n" +
               kKings + "5\n" + kKings + "6\n" + kKings + "7\n",
           "",
           kNewGame +
               "limit depth 7\nbook on\nread orv.csa\nread orv.csa\nbook off\nread orv.csa\n"},
          // Blanks and tabs after a value do not change it.
          {kAnyVersion,
           "setoption name TimeExtendable value false \nsetoption name USI_Ponder value false\t\n"
           "setoption name BookNarrow value true \t\nsetoption name Threads value 4 \n"
           "setoption name Resign value 3000\t\nsetoption name TimeControl value Depth \n"
           "setoption name Depth value 7 \nsetoption name BookNum value 0 \n"
           "setoption name Debug value false \nusinewgame\n",
           "",
           "tlp num 4\nlimit time strict\nresign 3000\nponder off\nbook narrow\nlimit depth 7\n"
           "book off\n"},
          // A new game forgets the engine's last move: what follows it is loaded whole.
          {kV2 + "move|out|move3334FU\n",
           "position startpos moves 7g7f\ngo\n~bestmove\nusinewgame\n"
           "position startpos moves 7g7f 3c3d 2g2f\n",
           "info currmove 3c3d\nbestmove 3c3d\n",
           kFirstSearch + kNewGame + "book on\nread orv.csa\n"},
      });
}

// The first search of a game gives the engine the mover's minutes and the byoyomi's
// seconds; a later one of the game none.
TEST(GameRows, FirstSearchOfAGameSendsTheTimeLimit) {
  const struct {
    const char* go;
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
  std::vector<Row> rows;
  // The same answer to the same position again at once may be a copy: the engine is told to
  // stop, and the repeat is the answer when nothing follows.
  for (const auto& c : cases) {
    const std::string move = c.white ? "3c3d" : "7g7f";
    const std::string answered = "info currmove " + move + "\nbestmove " + move + "\n";
    rows.push_back({(c.v1 ? kV1 : kV2) + "@search|out|move" + (c.white ? "3334FU" : "7776FU"),
                    std::string(c.white ? "position startpos moves 7g7f\n" : "") + c.go +
                        "~bestmove\n" + c.go + "~bestmove\n",
                    answered + answered,
                    std::string(c.white ? "read orv.csa\nbook off\n" : "") + c.limit +
                        "\nmove\nread orv.csa\nmove\ns\n"});
  }
  run_rows("rows_first_go", rows);
}

TEST(GameRows, SearchCommandFollowsThePositionAndTheAnalysis) {
  run_rows(
      "rows_search_command",
      {
          // The GUI's single new move is searched by "go infinite" too; after an analysis
          // the game's limit is sent again (it left the engine on a day's search).
          {kV2 + "move#1|out|move3334FU\ns#1|out|move8384FU\n",
           "position startpos moves 7g7f\ngo btime 1 wtime 1\n~bestmove\n"
           "position startpos moves 7g7f 3c3d 2g2f\ngo infinite\nstop\n~bestmove\n"
           "position startpos moves 7g7f 3c3d 2g2f 8c8d 2f2e\ngo btime 1 wtime 1\n",
           "info currmove 3c3d\nbestmove 3c3d\ninfo currmove 8c8d\nbestmove 8c8d\n",
           kFirstSearch + "book off\nlimit time 0 86400\n2726FU\ns\nlimit time 0 0\n2625FU\n"},
          // The engine avoids its move only while AnotherHand is on at the search.
          {kV2 + "move#1|out|move3334FU\n",
           "setoption name AnotherHand value true\nposition startpos moves 7g7f\ngo\n~bestmove\n"
           "position startpos moves 7g7f\nsetoption name AnotherHand value false\ngo\n"
           "setoption name AnotherHand value true\ngo\n",
           "info currmove 3c3d\nbestmove 3c3d\n",
           kFirstSearch + "read orv.csa\nmove\ns\nread orv.csa\nmove restraint\n"},
          // With a node limit for the game, an analysis leaves no time limit to send again.
          {kV2,
           "setoption name TimeControl value Nodes\nusinewgame\ngo infinite\nstop\n~bestmove\n"
           "go btime 1 wtime 1\n",
           "info currmove resign\nbestmove resign\n",
           kNewGame + "limit nodes 1000\nbook on\nbook on\nlimit time 0 86400\nmove\ns\n"
                      "read orv.csa\nmove\n"},
          {kV1, "go infinite\nstop\n~bestmove\n", "info currmove resign\nbestmove resign\n",
           "book off\nlimit time 86400\nmove\ns\n"},
      });
}

// Lines that write or send little, through one adapter; "quit" sends nothing.
TEST(GameRows, LinesThatWriteOrSendLittle) {
  run_rows_in_one_adapter("rows_little", kV2,
                          {
                              {"", "stop\n", "", "s\n"},
                              {"", "ponderhit\n", "", ""},
                              {"", "gameover win\n", "", ""},
                              {"", "go ponder btime 1\n", "", ""},
                              {"", "go mate 1000\n", "checkmate notimplemented\n", ""},
                          });
}

TEST(GameRows, BookIsSwitchedOffOnceAtBookNum) {
  const std::string game = "setoption name BookNum value 30\nusinewgame\n";
  run_rows("rows_book",
           {
               {kV2, game + kKings + "30\n" + kKings + "31\n" + kKings + "40\n", "",
                kNewGame + "book on\nread orv.csa\nread orv.csa\nbook off\nread orv.csa\n"},
               // An analysis turns the book on; the game's next search turns it off again, once.
               {kV2 + "@search|out|resign\n",
                game + kKings +
                    "40\ngo infinite\nstop\n~bestmove\ngo btime 1 wtime 1\n~bestmove\n"
                    "go btime 1 wtime 1\n~bestmove\n",
                "info currmove resign\nbestmove resign\ninfo currmove resign\nbestmove resign\n"
                "info currmove resign\nbestmove resign\n",
                kNewGame + "book on\nread orv.csa\nbook off\nbook on\nlimit time 0 86400\nmove\ns\n"
                           "read orv.csa\nbook off\nlimit time 0 0\nmove\nread orv.csa\nmove\n"},
               {kV2, "setoption name BookNum value 0\nusinewgame\n" + kKings + "40\n", "",
                kNewGame + "book off\nread orv.csa\n"},
           });
}

TEST(GameRows, SamePositionAgainRestrainsTheEnginesMove) {
  const std::string on = "setoption name AnotherHand value true\n";
  const std::string twice = on + "position startpos\nposition startpos\ngo\n";
  const std::string restrained =
      "read orv.csa\nbook off\nread orv.csa\nlimit time 0 0\nmove restraint\n";
  run_rows(
      "rows_restraint",
      {
          {kV2 + "move|out|move3334FU\n",
           on + "position startpos moves 7g7f\ngo\n~bestmove\n",
           "info currmove 3c3d\nbestmove 3c3d\n",
           kFirstSearch,
           {{"sfenbk.dat", "startpos moves 7g7f\n"},
            {"lastmove.dat", "3334FU\n"},
            {"restraint.dat", "<missing>"}}},
          // Again, although it reads as the engine's move and nothing more: loaded whole,
          // searched restrained; the analysis's move joins the record.
          {kV2 + "move#1|out|move3334FU\nmove#3|out|move8384FU\n",
           on + "position startpos moves 7g7f\ngo\n~bestmove\nposition startpos moves 7g7f\ngo\n"
                "go infinite\n~info currmove\nposition startpos moves 7g7f\n",
           "info currmove 3c3d\nbestmove 3c3d\ninfo currmove 8c8d\n",
           kFirstSearch + "read orv.csa\nmove restraint\ns\nread orv.csa\nbook off\n"
                          "limit time 0 86400\nmove restraint\nread orv.csa\n",
           {{"restraint.dat", "3334FU\n8384FU\n"}}},
          // Even a single new move is given whole while restrained (another orv in the
          // folder has just searched it).
          {kV2 +
               "move#1|write|sfenbk.dat startpos moves 7g7f 3c3d 2g2f\\n\nmove#1|out|move3334FU\n",
           on + "position startpos moves 7g7f\ngo\n~bestmove\n"
                "position startpos moves 7g7f 3c3d 2g2f\ngo\n",
           "info currmove 3c3d\nbestmove 3c3d\n",
           kFirstSearch + "read orv.csa\nmove restraint\n",
           {{"restraint.dat", "3334FU\n"}}},
          // Files of other sizes never append stale bytes; only a whole record counts.
          {kV2, twice, "", restrained, {{"restraint.dat", "<missing>"}}},
          {"@start|write|lastmove.dat 3334F\n" + kV2,
           twice,
           "",
           restrained,
           {{"restraint.dat", "<missing>"}}},
          {"@start|write|lastmove.dat 3334FU\\nextra\\n\n" + kV2,
           twice,
           "",
           restrained,
           {{"restraint.dat", "3334FU\n"}}},
          // The row above, and another position after: that ends the memory.
          {"@start|write|lastmove.dat 3334FU\\nextra\\n\n" + kV2,
           on + "position startpos\nposition startpos\nposition startpos moves 2g2f\ngo\n",
           "",
           "read orv.csa\nbook off\nread orv.csa\nread orv.csa\nlimit time 0 0\nmove\n",
           {{"restraint.dat", "<missing>"}}},
          // A remembered position longer than any argument is none.
          {"@start|write|sfenbk.dat " + std::string(30000, 's') + "\n" + kV2,
           on + "position startpos\ngo\n",
           "",
           kFirstSearch,
           {{"sfenbk.dat", "startpos\n"}}},
      });
}

TEST(GameRows, PositionsLoadedWholeOrAsOneMove) {
  const std::string start = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1";
  run_rows(
      "rows_position",
      {
          // A last line without its line feed names the position all the same.
          {kV2,
           "position startpos",
           platform_text(kReadError) + "\n",
           "read orv.csa\nbook off\n",
           {{"orv.csa", position_file(start + "\n")}}},
          // The engine's move after a bare "startpos" cannot continue it.
          {kV2 + "move#1|out|move7776FU\nmove#2|out|move2726FU\n",
           "position startpos\ngo\n~bestmove\nposition startpos moves 7g7f 3c3d\ngo\n~bestmove\n",
           "info currmove 7g7f\nbestmove 7g7f\ninfo currmove 2g2f\nbestmove 2g2f\n",
           kFirstSearch + "read orv.csa\nmove\n"},
          // The GUI's one new move after the engine's waits for the search; with AnotherHand
          // off no record is kept.
          {kV2 + "move|out|move3334FU\n",
           "position startpos moves 7g7f\ngo\n~bestmove\nposition startpos moves 7g7f 3c3d 2g2f\n",
           "info currmove 3c3d\nbestmove 3c3d\n",
           kFirstSearch,
           {{"lastmove.dat", "<missing>"}}},
          // A take-back is loaded whole, the search under way stopped first; the engine has
          // played that search's move on its board, so the next search loads it again; and a
          // board loaded whole has no move of the engine's to continue.
          {kV2 + "move#1|out|move3334FU\ns#1|out|move9394FU\nmove#2|out|move2726FU\n",
           "position startpos moves 7g7f\ngo\n~bestmove\n"
           "position startpos moves 7g7f 3c3d 2g2f\ngo\n"
           "position startpos moves 7g7f 3c3d\ngo\n~bestmove\n"
           "position startpos moves 7g7f 3c3d\n"
           "position startpos moves 7g7f 3c3d 2g2f 8c8d\n",
           "info currmove 3c3d\nbestmove 3c3d\ninfo currmove 2g2f\nbestmove 2g2f\n",
           kFirstSearch +
               "2726FU\ns\nread orv.csa\nread orv.csa\nmove\nread orv.csa\nread orv.csa\n"},
          // Mirrored from the next move on, the engine's board is loaded whole, mirrored too.
          {kV2 + "move#1|out|move3334FU\n",
           "position startpos moves 7g7f\ngo\n~bestmove\nsetoption name FlipHorizontal value "
           "true\nposition startpos moves 7g7f 3c3d 2g2f\ngo\n",
           "info currmove 3c3d\nbestmove 3c3d\n", kFirstSearch + "read orv.csa\nmove\n"},
          // A position that comes while the engine still searches is loaded whole.
          {kV2 + "move#1|out|move2625FU\n",
           "position startpos moves 7g7f 3c3d 2g2f 8c8d\ngo\n~bestmove\ngo\n"
           "position startpos moves 7g7f 3c3d 2g2f 8c8d 2f2e 8d8e\n",
           "info currmove 2f2e\nbestmove 2f2e\n",
           kFirstSearch + "read orv.csa\nmove\ns\nread orv.csa\n"},
          // With no position ever, a search asked again is of the start, where the engine's
          // game began.
          {kV2 + "@search|out|move7776FU\n",
           "go\n~bestmove\ngo\n~bestmove\n",
           "info currmove 7g7f\nbestmove 7g7f\ninfo currmove 7g7f\nbestmove 7g7f\n",
           "limit time 0 0\nmove\nread orv.csa\nmove\ns\n",
           {{"orv.csa", position_file(start + "\n")}}},
          // The same move line again at once may be a copy written for the search before:
          // the engine's own answer that follows is this search's, not the next one's.
          {kV2 + "move#1|out|move7776FU\nmove#1|sleep|100\nmove#1|out|move7776FU\n"
                 "move#2|out|move2726FU\n",
           "go\n~bestmove\ngo\n~bestmove\n",
           "info currmove 7g7f\nbestmove 7g7f\ninfo currmove 2g2f\nbestmove 2g2f\n",
           "limit time 0 0\nmove\nread orv.csa\nmove\ns\n"},
          // An argument that names no position is echoed; the search goes on, on its board.
          {kV2 + "s|out|move3334FU\n",
           "position startpos moves 7g7f\ngo\nposition fen x\nstop\n~bestmove\n",
           "position fen x\n\ninfo currmove 3c3d\nbestmove 3c3d\n",
           kFirstSearch + "s\n",
           {{"orv.csa", position_file(start + " moves 7g7f\n")}}},
          // A position file that cannot be written is told at the search, which it cannot
          // start.
          {"@start|block|orv.csa\n" + kV2, "position sfen " + start + "\ngo\n",
           "info string orv.csa cannot be written\nbestmove resign\n", "book off\n"},
          // A new search ends an analysis the GUI never stopped: its move, held for a stop,
          // is dropped.
          {kV2 + "move#1|out|move7776FU\nmove#2|out|move2726FU\n",
           "position startpos\ngo infinite\n~info currmove\ngo btime 1 wtime 1\n~bestmove\n",
           "info currmove 7g7f\ninfo currmove 2g2f\nbestmove 2g2f\n",
           "read orv.csa\nbook off\nbook off\nlimit time 0 86400\nmove\n"
           "read orv.csa\nlimit time 0 0\nmove\n"},
      });
}

// The options listed with the values the GUI set, as the configuration file keeps them.
TEST(GameRows, UsiListsTheOptionsWithTheirStoredValues) {
  const std::string head = "id name Molvara Version 2.0\nid author -\n";
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
  std::string set = defaults;  // the values the GUI set
  auto replace = [&](const std::string& from, const std::string& to) {
    set.replace(set.find(from), from.size(), to);
  };
  replace("Debug type check default false", "Debug type check default true");
  replace("Threads type spin default 1 ", "Threads type spin default 8 ");
  replace("Resign type spin default 32596 ", "Resign type spin default 12 ");
  const std::string command_emptied = set;
  replace("default <empty>", "default " + std::string(63, 'c'));
  // The value as it came; Windows keeps it without its blanks.
  const std::string resign = kUnderWine ? "Resign=12" : "Resign= 12 ";
  // A name without "value" says "setoption", and its value is stored all the same; the
  // GUI's own USI_Ponder is not stored, nor an option orv does not have.
  run_rows(
      "rows_options",
      {{kV2,
        "usi\nsetoption name Debug value true\nsetoption name USI_Ponder value true\n"
        "setoption name Nosuch value 1\nsetoption name Threads 8\n"
        "setoption name Resign value  12 \nsetoption name Command value " +
            std::string(80, 'c') + "\nusi\nsetoption name Command\nusi\n",
        head + defaults + "usiok\n" + "setoption\n" + head + set + "usiok\n" + "setoption\n" +
            head + command_emptied + "usiok\n",
        "",
        {{"orv_molvara.ini", "[Molvara]\nDir=" + native_dir(ORV_TEST_WORK_DIR "/rows_options_0") +
                                 "\nName=Molvara Version 2.0\n[orv]\nDebug=true\nThreads=8\n" +
                                 resign + "\nCommand=\n"}}}});
}
