// The two threads that read the engine: its standard output and its standard error.
#pragma once

#include <atomic>
#include <mutex>

#include "common/game_state.h"
#include "common/options.h"
#include "common/position_files.h"
#include "engine/engine_link.h"
#include "notation/position.h"

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
