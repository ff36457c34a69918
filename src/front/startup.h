// Start-up: the executable's name, the configuration file, the engine started now or at
// the first "isready".
#pragma once

#include <string>
#include <string_view>

#include "common/state.h"

// The last component of path without its last "." and what follows. For narrow text and
// for the platform's paths alike.
template <class Char>
std::basic_string<Char> base_name_of(std::basic_string_view<Char> path, char separator) {
  const std::size_t slash = path.rfind(static_cast<Char>(separator));
  if (slash != std::basic_string_view<Char>::npos) path.remove_prefix(slash + 1);
  const std::size_t dot = path.rfind(static_cast<Char>('.'));
  if (dot != std::basic_string_view<Char>::npos) path = path.substr(0, dot);
  return std::basic_string<Char>(path);
}

// Removes "orv_" from the front; false (name unchanged) when it is not there or nothing
// follows it.
template <class Char>
bool strip_prefix(std::basic_string<Char>& name) {
  constexpr std::string_view kPrefix = "orv_";
  if (name.size() <= kPrefix.size()) return false;
  for (std::size_t i = 0; i < kPrefix.size(); ++i) {
    if (name[i] != static_cast<Char>(kPrefix[i])) return false;
  }
  name.erase(0, kPrefix.size());
  return true;
}

enum class StartUp {
  kFailed,           // the executable's name is wrong: told, exit code 1
  kEngineNow,        // first start in this folder: the engine is started at once
  kEngineAtIsready,  // the folder is known: "usi" answers from the file, "isready" starts it
};
StartUp start_up(State& state, const char* argv0);

// The engine of a first start could not be started, or ended before its banner.
void engine_cannot_start_now(const State& state);
// The engine has said its name: kept in the file (with the folder at a first start).
void engine_named(State& state, const std::string& name, bool first_start);
