// Whole games between two adapters, each beside the stand-in engine, driven by the
// self-play driver as a GUI drives two engines: every move legal, no stall, every orv.csa
// the position the engine was given. And the GUI's analysis of games, driven by the
// analysis walk: every move shown legal in the position sent.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>

#include "integration/adapter_session.h"

namespace {

// The stand-in's stray quirks orv cannot yet survive, left out of these runs: a copy of the
// answer a moment later, a move after the banner (Searches.DISABLED_LinesForAnotherSearch...).
const std::string kLeftOut = " --leave-out copy,banner";

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
      {"chaos", "--byoyomi 100 --plies 60 --games 3 --chaos 11 --quirks 12" + kLeftOut},
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
      {"chaos", "--seed 6 --chaos 21 --quirks 22 --option InfBook=true" + kLeftOut},
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
