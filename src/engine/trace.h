// The Debug trace of the engine traffic, and the one way commands reach the engine.
#pragma once

#include <string_view>

#include "common/game_state.h"
#include "common/options.h"
#include "common/outbox.h"

enum TraceDirection { kSentToEngine = 0, kReceivedFromEngine = 1 };

// With Debug on: "hh:mm:ss:mmm >M text" (sent) or "<M" (received), stamped now.
void trace_line(Outbox& out, const OptionValues& options, int direction, std::string_view text);

// Traces and queues one engine command; dropped quietly while no engine runs.
void send_to_engine(Outbox& out, const OptionValues& options, const EngineState& engine,
                    std::string_view command);
