// One bestmove for each search, after "stop" for an analysis, for the search it answers:
// an engine that ends an analysis by itself, a GUI that leaves a search without "stop".
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "integration/adapter_session.h"

namespace {

const std::string kBanner = "@start|out|Molvara Version 2.0\n";

// Lines up to the GUI's next "readyok", without it: what the adapter wrote in between.
std::vector<std::string> lines_before_readyok(AdapterSession& s) {
  send(s, "isready\n");
  std::vector<std::string> lines = lines_until(s, "readyok");
  lines.pop_back();
  return lines;
}

}  // namespace

// The engine ends an analysis by itself: its bestmove waits for the GUI's "stop", whatever
// else the GUI sends meanwhile, and comes once.
TEST(Searches, AnalysisThatEndsByItselfAnswersAfterStop) {
  const struct {
    const char* name;
    const char* script;
    const char* shown;  // what comes at once
    const char* bestmove;
  } cases[] = {
      {"book_answer", "move|out|info 7776FU(60%)\nmove|out|move7776FU\n", "info currmove 7g7f",
       "7g7f"},
      {"mate_found", "move|out|info+327.00 +7776FU\nmove|out|move7776FU\n", "info currmove 7g7f",
       "7g7f"},
      {"resign", "move|out|resign\n", "info currmove resign", "resign"},
      {"no_legal_moves", "move|err|No legal moves to search\n",
       "info string No legal moves to search", "resign"},
  };
  for (const auto& c : cases) {
    std::string dir = make_test_dir(std::string("analysis_ends_") + c.name, "orv_molvara",
                                    "molvara", kBanner + c.script);
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "position startpos\ngo infinite\n");
    for (std::string line = next_line(s); line != c.shown; line = next_line(s)) {
      ASSERT_NE(line, "<timeout>") << c.name;
      EXPECT_NE(line.substr(0, 9), "bestmove ") << c.name;
    }
    send(s, "setoption name Nodes value 2000\n");
    EXPECT_EQ(lines_before_readyok(s), std::vector<std::string>()) << c.name;
    send(s, "stop\n");
    EXPECT_EQ(next_line(s), std::string("bestmove ") + c.bestmove) << c.name;
    EXPECT_EQ(lines_before_readyok(s), std::vector<std::string>()) << c.name;  // never two
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0);
    EXPECT_EQ(engine_commands(dir),
              "read orv.csa\nbook off\nbook off\nlimit time 0 86400\nmove\ns\n<eof>\n")
        << c.name;
  }
}

// A game ends while the engine thinks, and the next begins: the old search is stopped, its
// report and move neither shown nor played. A search the GUI stopped itself keeps its
// bestmove; its report, of a board the GUI has left, is not shown.
TEST(Searches, GameLeftWhileTheEngineThinks) {
  const struct {
    const char* name;
    const char* end;  // how the GUI ends the first game
    bool stopped;
  } cases[] = {
      {"gameover", "gameover lose\n", false},
      {"usinewgame", "", false},
      {"stop_then_gameover", "stop\ngameover lose\n", true},
  };
  for (const auto& c : cases) {
    std::string dir = make_test_dir(std::string("game_left_") + c.name, "orv_molvara", "molvara",
                                    kBanner +
                                        "move#1|sleep|300\nmove#1|out|info+0.10 +7776FU\n"
                                        "move#1|out|move7776FU\nmove#2|out|move3334FU\n");
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "usinewgame\nposition startpos\ngo btime 1000 wtime 1000\n");
    send(s, c.end);
    send(s, "usinewgame\nposition startpos moves 7g7f\ngo btime 1000 wtime 1000\n");
    std::vector<std::string> expected;
    if (c.stopped) expected = {"info currmove 7g7f", "bestmove 7g7f"};
    expected.push_back("info currmove 3c3d");
    expected.push_back("bestmove 3c3d");
    std::vector<std::string> lines = lines_until(s, "bestmove 3c3d");
    EXPECT_EQ(lines, expected) << c.name;
    EXPECT_EQ(lines_before_readyok(s), std::vector<std::string>()) << c.name;
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0);
    const std::string commands = engine_commands(dir);
    EXPECT_NE(commands.find("move\ns\n"), std::string::npos) << c.name << ": " << commands;
  }
}

// Answers nobody asked for give no bestmove: a move line written twice, a move right after
// the banner, two move lines during an analysis; the GUI is told what came instead.
TEST(Searches, AnswersNobodyAskedForAreNoBestmove) {
  const std::string stray = "info string engine answer with no search asked: ";
  const struct {
    const char* name;
    const char* script;
    const char* gui;  // what the GUI sends after "usi"
    std::vector<std::string> lines;
  } cases[] = {
      {"twice",
       "move|out|move7776FU\nmove|out|move7776FU\n",
       "position startpos\ngo btime 0\n",
       {"info currmove 7g7f", "bestmove 7g7f", stray + "move7776FU"}},
      {"after_banner", "@start|out|move7776FU\n", "", {}},
      {"after_banner_then_go",
       "@start|sleep|5\n@start|out|move7776FU\nmove|out|move2726FU\n",
       "isready\nposition startpos\ngo btime 0\n",
       {"readyok", "info currmove 2g2f", "bestmove 2g2f"}},
      // No move, for a search the GUI left: the engine's own answer to it comes after.
      {"no_move_for_a_search_left",
       "move#1|sleep|300\nmove#1|out|moveXYZW\nmove#1|sleep|250\nmove#1|out|move2726FU\n"
       "move#2|out|move9796FU\n",
       "position startpos moves 7g7f 3c3d\ngo btime 0\ngameover lose\nisready\nusinewgame\n"
       "position startpos moves 7g7f 3c3d\ngo btime 0\n",
       {"readyok", "info currmove 9g9f", "bestmove 9g9f"}},
      {"two_in_analysis",
       "move|out|move7776FU\nmove|out|move7776FU\n",
       "position startpos\ngo infinite\n",
       {"info currmove 7g7f", stray + "move7776FU"}},
  };
  for (const auto& c : cases) {
    std::string dir = make_test_dir(std::string("stray_answer_") + c.name, "orv_molvara", "molvara",
                                    kBanner + c.script);
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "usi\n");
    std::vector<std::string> lines = lines_until(s, "usiok");
    for (const std::string& line : lines) EXPECT_NE(line.substr(0, 9), "bestmove ") << c.name;
    send(s, c.gui);
    for (const std::string& expected : c.lines) EXPECT_EQ(next_line(s), expected) << c.name;
    for (const std::string& line : lines_before_readyok(s)) {
      EXPECT_NE(line.substr(0, 9), "bestmove ") << c.name;  // the stray line may come late
    }
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0) << c.name;
  }
}

// A copy of the engine's move, written a moment later, answers not the search the GUI asks at
// once after it: the engine is told to stop that search, and its own answer is the bestmove.
// An engine that then says nothing costs that search, and is started afresh for the next,
// unless the repeat is a move there: then it was the engine's answer.
TEST(Searches, ACopyOfAnAnswerCostsNoLaterSearch) {
  const std::string go = "go btime 0 wtime 0\n";
  const std::string copy = "move#1|out|move7776FU\nmove#1|sleep|50\nmove#1|out|move7776FU\n";
  const std::string first_engine_copy =
      "1>move#1|out|move7776FU\n1>move#1|sleep|50\n1>move#1|out|move7776FU\n";
  const struct {
    const char* name;
    std::string script;
    std::vector<std::string> answers;
  } cases[] = {
      {"stale_copy",
       copy + "move#2|sleep|100\nmove#2|out|move6766FU\nmove#3|out|move5756FU\n",
       {"bestmove 7g7f", "bestmove 6g6f", "bestmove 5g5f"}},
      {"stale_copy_silent",
       "@silent-stop|on|\n" + first_engine_copy + "2>move|out|move5756FU\n",
       {"bestmove 7g7f", "bestmove resign", "bestmove 5g5f"}},
      // The same move found again for the next position, at once: nothing follows it. The
      // engine is started afresh all the same, in case that was a copy.
      {"same_answer_again",
       "1>move#1|out|move2726FU\n1>move#2|out|move2726FU\n2>move#1|out|move5756FU\n",
       {"bestmove 2g2f", "bestmove 2g2f", "bestmove 5g5f"}},
      // Its own answer after the copy taken, or after a copy that is no move there, comes too
      // late even for that: it answers no later search.
      {"copy_then_answer_past_its_time",
       "1>move#1|out|move2726FU\n1>move#1|sleep|50\n1>move#1|out|move2726FU\n"
       "1>move#2|sleep|3000\n1>move#2|out|move6766FU\n2>move#1|out|move5756FU\n",
       {"bestmove 2g2f", "bestmove 2g2f", "bestmove 5g5f"}},
      {"stray_then_late_answer",
       "1>move#1|out|move7776FU\n1>move#1|sleep|100\n1>move#1|out|move3334FU\n"
       "1>move#2|sleep|1000\n1>move#2|out|move6766FU\n2>move#1|out|move5756FU\n",
       {"bestmove 7g7f", "bestmove resign", "bestmove 5g5f"}},
      // A copy that is a move there, of an engine whose own answer comes a second later: the
      // copy is taken, the late answer answers no later search.
      {"copy_then_late_answer",
       "move#1|out|move2726FU\nmove#1|sleep|50\nmove#1|out|move2726FU\nmove#2|sleep|1000\n"
       "move#2|out|move6766FU\nmove#3|out|move5756FU\n",
       {"bestmove 2g2f", "bestmove 2g2f", "bestmove 5g5f"}},
  };
  const std::vector<std::string> gui = {"position startpos\n" + go,
                                        "position startpos moves 7g7f 3c3d\n" + go,
                                        "position startpos moves 7g7f 3c3d 2g2f 8c8d\n" + go};
  for (const auto& c : cases) {
    std::string dir = make_test_dir(c.name, "orv_molvara", "molvara", kBanner + c.script);
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "isready\n");
    lines_until(s, "readyok");
    for (std::size_t i = 0; i < gui.size(); ++i) {
      send(s, gui[i]);
      std::string answer = next_line(s);
      while (answer.rfind("bestmove ", 0) != 0 && answer[0] != '<') answer = next_line(s);
      EXPECT_EQ(answer, c.answers[i]) << c.name << " " << i;
    }
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0) << c.name;
  }
}

// An engine that leaves one search unanswered, even after "s", costs that search alone: the
// next game waits what is left of 2 s, is told, and is played on the GUI's position by the
// engine started afresh.
TEST(Searches, UnansweredSearchCostsOnlyThatSearch) {
  const struct {
    const char* name;
    const char* refusal;
    const char* shown;  // the refusal as the GUI sees it, its beginning
  } cases[] = {
      {"stderr", "1>move#1|err|cannot search: hash table allocation failed\n",
       "info string cannot"},
      {"stdout", "1>move#1|out|error: no search\n", "error: no search"},
  };
  for (const auto& c : cases) {
    std::string dir = make_test_dir(std::string("unanswered_") + c.name, "orv_molvara", "molvara",
                                    kBanner + "@silent-stop|on|\n" + c.refusal +
                                        "2>move#1|out|move3334FU\n2>move#2|out|move7776FU\n");
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, "usinewgame\nposition startpos\ngo btime 1000 wtime 1000\n");
    EXPECT_EQ(next_line(s).rfind(c.shown, 0), 0u) << c.name;
    send(s, "gameover lose\nusinewgame\nposition startpos moves 7g7f\ngo btime 1000 wtime 1000\n");
    std::vector<std::string> lines = lines_until(s, "bestmove 3c3d", 4000);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "info string engine " + program("molvara") + " did not answer its stop",
                         "info string engine " + program("molvara") + " is started again",
                         "info currmove 3c3d", "bestmove 3c3d"}))
        << c.name;
    // A later game pays nothing.
    send(s, "gameover win\nusinewgame\nposition startpos\ngo btime 1000 wtime 1000\n");
    EXPECT_EQ(lines_until(s, "bestmove 7g7f", 1500).back(), "bestmove 7g7f") << c.name;
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0);
  }
}

// A refusal repeated in one write answers the search it refuses, once: the next search, asked
// after that write was read, is answered by its own move. Tried many times: the lines of the
// write are read one by one while the next search may already be asked.
TEST(Searches, RepeatedComplaintAnswersOnlyTheSearchItRefuses) {
  std::string dir = make_test_dir("repeated_complaint", "orv_molvara", "molvara",
                                  kBanner +
                                      "move#1|errflood|50:No legal moves to search\n"
                                      "move#2|out|move3334FU\n");
  for (int run = 0; run < 10; ++run) {
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s,
         "isready\nusinewgame\nposition startpos\ngo btime 0\n"
         "position startpos moves 2g2f\ngo btime 0\n");
    // The refusal answers the first search if it came before the GUI left it; never the second.
    std::vector<std::string> lines = lines_until(s, "bestmove 3c3d");
    EXPECT_EQ(lines.back(), "bestmove 3c3d") << run;
    EXPECT_LE(std::count(lines.begin(), lines.end(), "bestmove resign"), 1) << run;
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0);
  }
}

// A "stop" the engine never answers still gets its bestmove, 2 s after it: no GUI waits for
// ever. The engine is started afresh before it is asked anything else.
TEST(Searches, StopTheEngineNeverAnswersIsAnsweredAfterTwoSeconds) {
  for (const char* go : {"go infinite\n", "go btime 0 wtime 0 byoyomi 60000\n"}) {
    std::string dir =
        make_test_dir("silent_stop", "orv_molvara", "molvara", kBanner + "@silent-stop|on|\n");
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    send(s, std::string("position startpos\n") + go + "stop\n");
    EXPECT_EQ(lines_until(s, "bestmove resign", 3500),
              (std::vector<std::string>{
                  "info string engine " + program("molvara") + " did not answer its stop",
                  "bestmove resign"}))
        << go;
    EXPECT_EQ(
        lines_before_readyok(s),
        std::vector<std::string>{"info string engine " + program("molvara") + " is started again"})
        << go;
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0);
  }
}

// An answer that comes after orv gave up on it never answers another search: before the next
// search (or at "isready") the engine that owes it is started afresh, its last words shown;
// one that comes before the next search is shown for what it is, and the search goes on.
TEST(Searches, AnAnswerThatComesTooLateAnswersNothing) {
  const std::string engine = "info string engine " + program("molvara");
  const struct {
    const char* name;
    const char* next;  // what the GUI sends once the stop was given up
    int wait_ms;       // before it sends it
    std::vector<std::string> lines;
  } cases[] = {
      {"search_again",
       "position startpos moves 7g7f\ngo btime 0 wtime 0\n",
       0,
       {engine + " is started again", "info currmove 3c3d", "bestmove 3c3d"}},
      {"isready", "isready\n", 0, {engine + " is started again", "readyok"}},
      {"answer_first",
       "position startpos moves 7g7f\ngo btime 0 wtime 0\n",
       1000,
       {"info string engine answer came too late: move2726FU", "info currmove 3c3d",
        "bestmove 3c3d"}},
  };
  for (const auto& c : cases) {
    std::string dir = make_test_dir(std::string("too_late_") + c.name, "orv_molvara", "molvara",
                                    kBanner +
                                        "@silent-stop|on|\n1>s|sleep|2600\n1>s|out|move2726FU\n"
                                        "limit time 0 0|out|move3334FU\n");
    AdapterSession s;
    ASSERT_TRUE(start_adapter(s, dir));
    // The wait for the answer starts once orv is up: a cold Wine takes a second to start it.
    send(s, "usi\n");
    ASSERT_EQ(lines_until(s, "usiok", 10000).back(), "usiok");
    send(s, "position startpos\ngo infinite\nstop\n");
    EXPECT_EQ(lines_until(s, "bestmove resign", 3000),
              (std::vector<std::string>{engine + " did not answer its stop", "bestmove resign"}))
        << c.name;
    std::this_thread::sleep_for(std::chrono::milliseconds(c.wait_ms));
    send(s, c.next);
    EXPECT_EQ(lines_until(s, c.lines.back(), 5000), c.lines) << c.name;
    EXPECT_EQ(lines_before_readyok(s), std::vector<std::string>()) << c.name;
    send(s, "quit\n");
    EXPECT_EQ(wait_exit(s), 0) << c.name;
  }
}

// The engine started afresh owes nothing of the last one's: a line the last one left half
// written does not swallow the new one's answer.
TEST(Searches, AnEngineStartedAgainOwesNothingOfTheLastOne) {
  std::string dir = make_test_dir("started_again_afresh", "orv_molvara", "molvara",
                                  kBanner + "@silent-stop|on|\n1>move|raw|" +
                                      std::string(25000, 'x') + "\n2>move|out|move3334FU\n");
  AdapterSession s;
  ASSERT_TRUE(start_adapter(s, dir));
  send(s, "position startpos\ngo btime 0 wtime 0 byoyomi 60000\nstop\n");
  EXPECT_EQ(lines_until(s, "bestmove resign", 3500).back(), "bestmove resign");
  send(s, "position startpos moves 7g7f\ngo btime 0 wtime 0\n");
  const std::vector<std::string> lines = lines_until(s, "bestmove 3c3d", 5000);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(
      std::vector<std::string>(lines.end() - 3, lines.end()),
      (std::vector<std::string>{"info string engine " + program("molvara") + " is started again",
                                "info currmove 3c3d", "bestmove 3c3d"}));
  send(s, "quit\n");
  EXPECT_EQ(wait_exit(s), 0);
}
