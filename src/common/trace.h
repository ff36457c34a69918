// The Debug trace of the engine traffic, and the one way commands reach the engine.
#pragma once

#include <string_view>

#include "common/state.h"

enum TraceDirection { kSentToEngine = 0, kReceivedFromEngine = 1 };

// With Debug on: "hh:mm:ss:mmm >M text" (sent) or "<M" (received), stamped now.
void trace_line(State& state, int direction, std::string_view text);

// Traces and queues one engine command; dropped quietly while no engine runs.
void send_command(State& state, std::string_view command);
