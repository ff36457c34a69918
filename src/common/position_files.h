// The files the position command and the engine output thread keep in the engine's folder
// (the current directory).
#pragma once

#include <string>

struct PositionFiles {
  std::string position = "orv.csa";
  std::string stored_position = "sfenbk.dat";
  std::string last_move = "lastmove.dat";
  std::string restraint = "restraint.dat";
};
