// Start-up: the executable's name, the configuration file, the engine started now or at
// the first "isready".
#pragma once

#include <string>
#include <string_view>

#include "front/adapter.h"

// The last component of path without its last "." and what follows.
std::string base_name_of(std::string_view path, char separator);

// Removes "orv_" from the front; false (name unchanged) when it is not there or nothing
// follows it.
bool strip_prefix(std::string& name);

// Returns 0 when the command loop may begin, otherwise the exit code.
int start_up(Adapter& adapter, const char* argv0);

// Starts the engine and its reader threads; the banner's name goes into name.
bool launch_adapter_engine(Adapter& adapter, std::string& name);
