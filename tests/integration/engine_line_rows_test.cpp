// The engine's lines as rows: its moves, the score's sign, the InfBook restart, and the
// complaints on its standard error that answer a search.
#include <gtest/gtest.h>

#include "integration/adapter_session.h"
#include "integration/row_runner.h"

namespace {

const std::string kV1 = "@start|out|Molvara Version 1.5\n";
const std::string kV2 = "@start|out|Molvara Version 2.0\n";
// The first search of a game without "usinewgame", its book off from the first position.
const std::string kFirstSearch = "read orv.csa\nbook off\nlimit time 0 0\nmove\n";
const std::string kClosing = platform_text(kClosingLine) + "\n";

}  // namespace

TEST(EngineLineRows, MoveLinesAnswerTheSearch) {
  const std::string another_hand = "setoption name AnotherHand value true\n";
  run_rows("rows_move",
           {
               // The record keeps the engine's own characters, mirrored files and all.
               {kV2 + "move|out|move7374FU\n",
                another_hand + "setoption name FlipHorizontal value true\n"
                               "position startpos moves 7g7f\ngo\n~bestmove\n",
                "info currmove 3c3d\nbestmove 3c3d\n",
                kFirstSearch,
                {{"lastmove.dat", "7374FU\n"}}},
               {"@start|block|lastmove.dat\n" + kV2 + "move|out|move7776FU\n",
                another_hand + "go\n~bestmove\n",
                "info string lastmove.dat cannot be written\ninfo currmove 7g7f\nbestmove 7g7f\n",
                "limit time 0 0\nmove\n"},
           });
}

// A move line that is no move on the board (black to move from the start) ends the search
// with a resign, and keeps no record.
TEST(EngineLineRows, MoveThatCannotBeReadResigns) {
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
  std::vector<Row> rows;
  for (const char* rest : rests) {
    rows.push_back(
        {kV2 + "move|out|move" + rest + "\n",
         "setoption name AnotherHand value true\ngo\n~bestmove\n",
         std::string("info string engine move ") + rest + " cannot be read\nbestmove resign\n",
         // The engine is told to stop, in case it is still at the search.
         "limit time 0 0\nmove\ns\n",
         {{"lastmove.dat", "<missing>"}}});
  }
  run_rows("rows_unreadable_move", rows);
}

// A move the engine's board allows but the rules do not is no bestmove either.
TEST(EngineLineRows, MoveThatIsNotLegalResigns) {
  const std::string start = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b ";
  const struct {
    std::string sfen, rest;
  } moves[] = {
      {start + "- 1", "8822KA"},                    // through its own pawn
      {start + "P 1", "0055FU"},                    // a second pawn on the file
      {"4k4/9/9/9/9/9/4r4/9/4K4 b - 1", "5958OU"},  // the king stays in check
      {start + "- 1", "2726TO"},                    // promoted outside the far ranks
  };
  std::vector<Row> rows;
  for (const auto& m : moves) {
    rows.push_back({kV2 + "move|out|move" + m.rest + "\n",
                    "position sfen " + m.sfen + "\ngo\n~bestmove\n",
                    "info string engine move " + m.rest + " is not legal here\nbestmove resign\n",
                    kFirstSearch + "s\n"});
  }
  run_rows("rows_illegal_move", rows);
}

TEST(EngineLineRows, ScoreSignFollowsTheSideToMoveAndPondering) {
  const std::string black = "position startpos\ngo\n~info time\n";
  const std::string white = "position startpos moves 7g7f\ngo\n~info time\n";
  const std::string ponder = "move|out|info ponder start\n";
  run_rows(
      "rows_score_sign",
      {
          {kV2 + "move|out|info-0.35 +7776FU\n", black,
           "info time 0 depth 1 score cp -35 pv 7g7f\n", kFirstSearch},
          {kV2 + "move|out|info-0.35 -3334FU\n", white, "info time 0 depth 1 score cp 35 pv 3c3d\n",
           kFirstSearch},
          {kV2 + ponder + "move|out|info-0.35 +7776FU\n", black,
           "info time 0 depth 1 score cp 35 pv 7g7f\n", kFirstSearch},
          {kV2 + ponder + "move|out|info-0.35 -3334FU\n", white,
           "info time 0 depth 1 score cp -35 pv 3c3d\n", kFirstSearch},
          {kV2 + ponder + "move|out|info ponder end\nmove|out|info-0.35 +7776FU\n", black,
           "info time 0 depth 1 score cp -35 pv 7g7f\n", kFirstSearch},
          // The GUI's single new move keeps the engine pondering; a position loaded whole
          // does not.
          {kV2 + "move#1|out|info ponder start\nmove#1|out|move3334FU\n"
                 "2726FU|out|info-0.35 -8384FU\n",
           "position startpos moves 7g7f\ngo\n~bestmove\nposition startpos moves 7g7f 3c3d 2g2f\n"
           "go\n~info time\n",
           "info currmove 3c3d\nbestmove 3c3d\ninfo time 0 depth 1 score cp -35 pv 8c8d\n",
           kFirstSearch + "2726FU\n"},
          {kV2 + "move#1|out|info ponder start\nmove#1|out|move3334FU\n"
                 "move#2|out|info-0.35 +2726FU\n",
           "position startpos moves 7g7f\ngo\n~bestmove\nposition startpos moves 7g7f 3c3d\ngo\n"
           "~info time\n",
           "info currmove 3c3d\nbestmove 3c3d\ninfo time 0 depth 1 score cp -35 pv 2g2f\n",
           kFirstSearch + "read orv.csa\nmove\n"},
      });
}

// With InfBook on, a book answer in an analysis (its candidates came first) is searched again
// with the book off, from the board shown.
TEST(EngineLineRows, InfBookSearchesABookAnswerAgain) {
  const std::string inf_book = "setoption name InfBook value true\n";
  const std::string analysis = "read orv.csa\nbook off\nbook off\nlimit time 0 86400\nmove\n";
  const std::string again = "read orv.csa\nbook off\nlimit time 0 86400\nmove\n";
  const std::string candidates = "move#1|out|info 7776FU(60%)\nmove#1|out|move7776FU\n";
  const std::string shown = "info nodes 60 pv 7g7f\n" + kClosing;
  run_rows(
      "rows_inf_book",
      {
          // Its time counts from the new search; a move that still follows the candidates
          // is searched again too; the variation is read on the board shown.
          {kV2 + "move#1|sleep|1000\n" + candidates +
               "move#2|out|move2726FU\nmove#3|out|info-0.10 +2726FU\ns|out|move2726FU\n",
           inf_book + "position startpos\ngo infinite\n~info time\nstop\n~bestmove\n",
           shown + "info time 0 depth 1 score cp -10 pv 2g2f\ninfo currmove 2g2f\nbestmove 2g2f\n",
           analysis + again + again + "s\n"},
          // A copy of the book's move, written with it, answers nothing: the engine is
          // asked to search again once.
          {kV2 + "move#1|out|info 7776FU(60%)\nmove#1|out|move7776FU\\r\\nmove7776FU\n"
                 "move#2|out|info-0.10 +2726FU\ns|out|move2726FU\n",
           inf_book + "position startpos\ngo infinite\n~info time\nstop\n~bestmove\n",
           shown + "info string engine answer with no search asked: move7776FU\n"
                   "info time 0 depth 1 score cp -10 pv 2g2f\ninfo currmove 2g2f\nbestmove 2g2f\n",
           analysis + again + "s\n"},
          // Stopped before its first report, the search asked again answers with the book's
          // move: the same line again at once, and the answer all the same.
          {kV2 + candidates + "move#2|err|searching\ns|out|move7776FU\n",
           inf_book + "position startpos\ngo infinite\n~info string searching\nstop\n~bestmove\n",
           shown + "info string searching\ninfo currmove 7g7f\nbestmove 7g7f\n",
           analysis + again + "s\n"},
          {kV2 + candidates + "move#2|err|searching\ns|out|move7776FU\n",
           inf_book + "position startpos\ngo infinite\n~info string searching\nstop\n"
                      "position startpos moves 7g7f\n~bestmove\nquit",
           shown + "info string searching\ninfo currmove 7g7f\nbestmove 7g7f\n",
           analysis + again + "s\nread orv.csa\n"},
          {kV1 + candidates + "move#2|out|info-0.10 +2726FU\n",
           inf_book + "position startpos\ngo infinite\n~info time\n",
           shown + "info time 0 depth 1 score cp -10 pv 2g2f\n",
           "read orv.csa\nbook off\nbook off\nlimit time 86400\nmove\n"
           "read orv.csa\nbook off\nlimit time 86400\nmove\n"},
          // Any candidate line counts, one without candidates too; statistics after it end it.
          {kV2 + "move#1|out|info no candidates\nmove#1|out|move7776FU\n"
                 "move#2|out|info-0.10 +2726FU\n",
           inf_book + "position startpos\ngo infinite\n~info time\n",
           kClosing + "info time 0 depth 1 score cp -10 pv 2g2f\n", analysis + again},
          {kV2 + "move#1|out|info 7776FU(60%)\nmove#1|out|statsatu=12 nodes=34 nps=56\n"
                 "move#1|out|move7776FU\n",
           inf_book + "position startpos\ngo infinite\n~info currmove\nstop\n",
           shown + "info nps 560 hashfull 120\ninfo currmove 7g7f\nbestmove 7g7f\n",
           analysis + "s\n"},
          // No candidates, a timed search, InfBook off: the book's move is the answer.
          {kV2 + "move|out|move7776FU\n",
           inf_book + "position startpos\ngo infinite\n~info currmove\nstop\n",
           "info currmove 7g7f\nbestmove 7g7f\n", analysis + "s\n"},
          {kV2 + candidates, inf_book + "position startpos\ngo\n~bestmove\n",
           shown + "info currmove 7g7f\nbestmove 7g7f\n", kFirstSearch},
          {kV2 + candidates, "position startpos\ngo infinite\n~info currmove\nstop\n",
           shown + "info currmove 7g7f\nbestmove 7g7f\n", analysis + "s\n"},
          // Where the position file cannot be written, the book's move is shown as it came,
          // its bestmove after the GUI's stop.
          {kV2 + "move#1|out|info 7776FU(60%)\nmove#1|block|orv.csa\nmove#1|out|move7776FU\n",
           inf_book + "position startpos\ngo infinite\n~info currmove\nstop\n",
           shown + "info string orv.csa cannot be written\ninfo currmove 7g7f\nbestmove 7g7f\n",
           analysis + "s\n"},
      });
}

// What the engine writes on its standard error reaches the GUI as "info string"; a complaint
// that it cannot search answers the search under way, and only that.
TEST(EngineLineRows, ErrorLinesAndComplaints) {
  const std::string resigned = "\nbestmove resign\n";
  run_rows("rows_complaint",
           {
               {kV2 + "move|err|unknown command\n", "go\n~info string\n",
                "info string unknown command\n", "limit time 0 0\nmove\n"},
               {kV2 + "move|err|No legal moves to search\n", "go\n~bestmove\n",
                "info string No legal moves to search" + resigned, "limit time 0 0\nmove\n"},
               {kV2 + "s|err|No legal moves to search\n", "stop\n~info string\n",
                "info string No legal moves to search\n", "s\n"},
               {kV2 + "move|err|error: move after a game was concluded!\n", "go\n~bestmove\n",
                "info string error: move after a game was concluded!" + resigned,
                "limit time 0 0\nmove\n"},
               {kV2 + "move|err|No legal moves to search; move after a game was concluded\n",
                "go\n~bestmove\n",
                "info string No legal moves to search; move after a game was concluded" + resigned,
                "limit time 0 0\nmove\n"},
               {kV2 + "move|err|Loading eval 10%\\r20%\\r\\r\n", "go\n~info string\n",
                "info string Loading eval 10% 20%\n", "limit time 0 0\nmove\n"},
               {kV2 + "move|err|\\r\\r\nmove|err|after\n", "go\n~info string\n",
                "info string after\n", "limit time 0 0\nmove\n"},
           });
}
