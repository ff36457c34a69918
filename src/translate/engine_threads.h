// The two threads that read the engine: its standard output and its standard error.
#pragma once

#include <atomic>
#include <mutex>

#include "common/game_state.h"
#include "common/options.h"
#include "common/position_files.h"
#include "engine/engine_link.h"
#include "notation/position.h"
#include "translate/engine_lines.h"

// What the reader threads share with the main thread; everything but the link and the
// quitting flag is guarded by state_lock.
struct EngineThreadContext {
  std::mutex& state_lock;
  Position& position;
  GameState& game;
  OptionValues& options;
  EngineState& engine;
  const PositionFiles& files;
  EngineLink& link;
  const std::atomic<bool>& quitting;
};

void engine_out_thread(void* context);
void engine_err_thread(void* context);

// One line of the engine's standard output read and handled; what it leads to is written
// once no whole line is left from the read. False when the output has ended.
bool relay_engine_output(EngineThreadContext& context, EngineLineState& state, Outbox& out);
