// One USI engine driven as a GUI drives it: started in its folder over three pipes, its
// lines read as they come, "usi", options, "isready" and "usinewgame".
#pragma once

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tools/engine_log.h"

struct Player {
  // Absolute, in the system's own form: wide on Windows, so a folder named outside the
  // ANSI code page is the folder the adapter is started in.
  std::filesystem::path folder;
  bool flipped = false;      // FlipHorizontal is on
  int unanswered_noted = 0;  // searches the engine noted it left unanswered, accounted for
  int refusals_waited = 0;   // the same and late answers, for what orv may wait for
  EngineLog log;             // what the engine notes of its searches
  platform::Child child;
  std::thread reader;
  std::mutex lock;
  std::condition_variable arrived;
  std::deque<std::string> lines;
  bool ended = false;
  std::deque<std::string> recent;  // the last lines sent (">") and taken ("<"), for a report

  void send(const std::string& line);
  // The next line; false after the timeout or when the engine has gone.
  bool next(std::string& line, int timeout_ms);
  bool wait_for(const std::string& wanted, int timeout_ms);
  // Its output has ended and every line has been taken.
  bool gone();
  // The recent dialogue, one line each, oldest first.
  std::string dialogue();
};

struct PlayerSetup {
  std::string adapter = "orv_molvara";
  std::vector<std::string> settings;  // NAME=VALUE, each sent with "setoption"
  long nodes = 0;                     // TimeControl Nodes with this limit, when not 0
  int stall_ms = 30000;
  unsigned quirks = 0;   // the stand-in's quirks seed (MOLVARA_QUIRKS), 0 for none
  bool stray = false;    // with quirks, also those beyond the engine's rules (MOLVARA_STRAY)
  std::string left_out;  // those stray quirks left out, "copy,banner" (see standin/quirks.h)
};

// Starts the adapter in folder and takes it through "usi", the settings, "isready" and
// "usinewgame". False when it does not answer.
bool start_player(Player& player, const std::string& folder, const PlayerSetup& setup);

// Ends the dialogue: "quit", the end of its input, and the reader thread joined. True when
// the adapter ended with exit code 0.
bool stop_player(Player& player);
