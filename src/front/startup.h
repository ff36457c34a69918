// Start-up: the executable's name, the configuration file, the engine started now or at
// the first "isready".
#pragma once

#include <string>
#include <string_view>

#include "front/adapter.h"

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

// Returns 0 when the command loop may begin, otherwise the exit code.
int start_up(Adapter& adapter, const char* argv0);

// Starts the engine and its reader threads; the banner's name goes into name.
bool launch_adapter_engine(Adapter& adapter, std::string& name);
