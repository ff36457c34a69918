// Whole games between two adapters, each beside the stand-in engine, driven by the
// self-play driver as a GUI drives two engines: every move legal, no stall, every orv.csa
// the position the engine was given. And the GUI's analysis of games, driven by the
// analysis walk: every move shown legal in the position sent. And both with engines that stray
// beyond their contract: every bestmove legal and current.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <thread>
#include <vector>

#include "integration/adapter_session.h"

namespace {

#if defined(ORV_UNDER_WINE) || defined(ORV_SANITIZED)
constexpr int kShare = 4;  // of each straying run's searches, one in this many
#else
constexpr int kShare = 1;
#endif

// A folder that holds an adapter beside the stand-in. Under Wine the adapter is the
// Windows build, started through a small script of the adapter's name.
std::string player_folder(const std::string& name) {
  const std::string dir = make_test_dir(name, "orv_molvara", "");
  if (kUnderWine) {
    write_file(dir + "/orv_molvara", "#!/bin/sh\nWINEDEBUG=-all exec wine orv_molvara.exe\n");
    if (chmod((dir + "/orv_molvara").c_str(), 0755) != 0) return dir;
  }
  if (symlink(ORV_STANDIN_PATH, (dir + "/" + program("molvara")).c_str()) != 0) return dir;
  return dir;
}

struct Played {
  int exit_code;
  std::string output;
};

Played run(const std::string& command, const std::string& out) {
  const int status = std::system((command + " > '" + out + "' 2>&1").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out)};
}

Played play(const std::string& name, const std::string& options) {
  const std::string black = player_folder(name + "_black"), white = player_folder(name + "_white");
  return run(std::string(ORV_SELFPLAY_PATH) + " '" + black + "' '" + white +
                 "' --quiet --record '" + black + "/game.csa' " + options,
             black + "/selfplay.txt");
}

}  // namespace

TEST(SelfPlay, ShortGamesUnderManySettings) {
  const struct {
    const char* name;
    std::string options;
  } games[] = {
      {"plain", "--byoyomi 100 --plies 60"},
      // Engines as real ones may be: blank lines, lines in pieces, remarks on standard error.
      {"quirks", "--byoyomi 100 --plies 60 --quirks 7"},
      // A GUI as impatient ones are, every rule of the dialogue checked: a short soak.
      {"chaos", "--byoyomi 100 --plies 60 --games 3 --chaos 11 --quirks 12"},
      {"flip", "--byoyomi 100 --plies 60 --option FlipHorizontal=true"},
      {"flip_one_side", "--nodes 3000 --plies 60 --white-option FlipHorizontal=true"},
      {"another_hand", "--nodes 3000 --plies 60 --option AnotherHand=true"},
      {"book_off", "--nodes 3000 --plies 60 --option BookNum=0"},
      {"book_narrow", "--nodes 3000 --plies 60 --option BookNarrow=true --option BookNum=4"},
      {"depth", "--plies 40 --option TimeControl=Depth --option Depth=2"},
  };
  const int count = kUnderWine ? 3 : static_cast<int>(sizeof games / sizeof games[0]);
  for (int i = 0; i < count; ++i) {
    Played p = play(std::string("selfplay_") + games[i].name, games[i].options);
    EXPECT_EQ(p.exit_code, 0) << games[i].name << "\n" << p.output;
    EXPECT_NE(p.output.find("orv.csa file(s) checked against the game"), std::string::npos)
        << p.output;
    EXPECT_EQ(p.output.find(" 0 orv.csa file(s)"), std::string::npos) << p.output;
  }
}

TEST(Analysis, EveryMoveShownIsLegalInThePositionSent) {
  const struct {
    const char* name;
    std::string options;
  } walks[] = {
      // A book answer ends the search before "stop"; with InfBook it is searched again.
      {"book_answers", "--seed 1"},
      {"inf_book", "--seed 2 --option InfBook=true"},
      {"chaos", "--seed 6 --chaos 21 --quirks 22 --option InfBook=true"},
      {"inf_book_flip", "--seed 3 --option InfBook=true --option FlipHorizontal=true"},
      {"quirks", "--seed 4 --quirks 5 --option InfBook=true"},
  };
  const int count = kUnderWine ? 3 : static_cast<int>(sizeof walks / sizeof walks[0]);
  for (int i = 0; i < count; ++i) {
    const std::string dir = player_folder(std::string("analysis_") + walks[i].name);
    Played p = run(
        std::string(ORV_ANALYSIS_PATH) + " '" + dir + "' --quiet --steps 30 " + walks[i].options,
        dir + "/analysis.txt");
    EXPECT_EQ(p.exit_code, 0) << walks[i].name << "\n" << p.output;
    EXPECT_NE(p.output.find("30 position(s) analysed"), std::string::npos) << p.output;
  }
}

// Engines that stray beyond their contract, each as its seed chooses: answers to "s" up to 3 s
// late or never, a move line twice in one write, moves the rules forbid (a blocked slider, a
// second pawn on a file, a king left in check, a promotion outside the far ranks), resigns and
// complaints for no reason, refusals. Against a GUI that plays on at once and one that ends
// games and searches at random, the tools check every bestmove: legal in the GUI's position
// or a resign; one for each search, none for one left, after "stop" for an analysis; the
// engine's own answer to that search, or a resign the engine gave it or a surprise since the
// search before explains; and all that is due within its bound, 2 s after "stop" plus an
// engine's start when it was started afresh. The runs go side by side: they mostly wait.
TEST(SelfPlay, StrayingEnginesGiveOnlyLegalCurrentAnswers) {
  const struct {
    const char* name;
    bool games;  // self-play (its size in games), or the analysis walk (in steps)
    int size;
    const char* options;
  } runs[] = {
      {"at_once", true, 60, "--nodes 1000 --at-once --quirks 101"},
      {"chaos", true, 40, "--nodes 1000 --chaos 103 --quirks 104"},
      {"walk_at_once", false, 120, "--think 20 --at-once --quirks 105"},
      {"walk_chaos", false, 120, "--think 20 --chaos 107 --quirks 108 --option InfBook=true"},
      {"at_once_byoyomi", true, 60, "--byoyomi 50 --at-once --quirks 109"},
      {"chaos_byoyomi", true, 40, "--byoyomi 50 --chaos 111 --quirks 112"},
      {"walk_at_once_inf_book", false, 120,
       "--think 20 --at-once --quirks 113 --option InfBook=true"},
      {"walk_chaos_seed", false, 120, "--think 20 --chaos 115 --quirks 116 --seed 3"},
  };
  const int all = static_cast<int>(sizeof runs / sizeof runs[0]);
  const int count = kUnderWine ? all / 2 : all;
  std::vector<Played> played(count);
  std::vector<std::thread> side_by_side;
  for (int i = 0; i < count; ++i) {
    side_by_side.emplace_back([&, i] {
      const std::string name = std::string("straying_") + runs[i].name;
      const std::string size = std::to_string((runs[i].size + kShare - 1) / kShare);
      const std::string options = std::string(runs[i].options) + " --quiet ";
      if (runs[i].games) {
        played[i] = play(name, options + "--plies 60 --games " + size);
      } else {
        const std::string dir = player_folder(name);
        played[i] =
            run(std::string(ORV_ANALYSIS_PATH) + " '" + dir + "' " + options + "--steps " + size,
                dir + "/analysis.txt");
      }
    });
  }
  for (std::thread& t : side_by_side) t.join();
  long bestmoves = 0;
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(played[i].exit_code, 0) << runs[i].name << "\n" << played[i].output;
    const std::size_t at = played[i].output.find(" bestmove(s) (");
    ASSERT_NE(at, std::string::npos) << played[i].output;
    bestmoves += std::atol(played[i].output.c_str() + played[i].output.rfind(' ', at - 1) + 1);
  }
  EXPECT_GE(bestmoves, 2000L * count / all / kShare);
}
