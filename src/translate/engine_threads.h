// The threads that read the engine: its standard output, and its standard error with the
// relay that shows it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "common/game_state.h"
#include "common/options.h"
#include "common/position_files.h"
#include "engine/engine_link.h"
#include "notation/position.h"
#include "translate/engine_lines.h"

// The engine's standard error between the thread that reads it, as fast as it comes, and
// the thread that shows it at its pace, the one writer of its lines. Guarded by its own lock,
// never held across a write.
struct ErrorRelay {
  struct Line {
    std::string text;
    unsigned dropped_before;  // lines dropped just before this one
  };
  enum class Stage {
    kPaced,    // one line per pause
    kFlush,    // the engine has gone: everything waiting is to be written at once
    kFlushed,  // and has been
  };
  std::mutex lock;
  std::condition_variable changed;
  std::deque<Line> waiting;
  std::size_t waiting_bytes = 0;
  unsigned dropped = 0;  // lines dropped since the last one kept
  bool ended = false;    // the engine's standard error has ended
  Stage stage = Stage::kPaced;
};

// What the reader threads share with the main thread; everything but the link, the error
// relay and the quitting flag is guarded by state_lock.
struct EngineThreadContext {
  std::mutex& state_lock;
  Position& position;
  const Position& searched;
  GameState& game;
  OptionValues& options;
  EngineState& engine;
  const PositionFiles& files;
  EngineLink& link;
  ErrorRelay& errors;
  const std::atomic<bool>& quitting;
  std::condition_variable& searches_changed;  // when the engine no longer owes a search
};

void engine_out_thread(void* context);
// The engine's standard error: read from the engine's start, shown one line per 200 ms; a
// complaint that ends a search is answered at once by the reader.
void engine_err_thread(void* context);
void engine_err_relay_thread(void* context);

// The engine has gone: expected while orv quits (it returns), the end of the game otherwise.
// What the engine wrote last on both pipes is shown first, within a short bound, then the
// GUI is told and orv ends. One thread tells it; any other waits for orv's end.
void engine_gone(void* context);

// The engine has gone (or failed to start): once its standard error has ended (or after a
// short while), the relay writes everything still waiting at once, with the count of what
// was dropped, and is waited for (a short while at most). Not called with the state lock
// held.
void finish_error_relay(EngineThreadContext& context);

// One engine line (or a piece of one, not ending it) handled under the state lock; its
// engine commands take their turn.
void compose_engine_line(EngineThreadContext& context, EngineLineState& state,
                         std::string_view line, Outbox& out, bool ends_line = true);

// One line of the engine's standard output read and handled; what it leads to is written
// once no whole line is left from the read. False when the output has ended.
bool relay_engine_output(EngineThreadContext& context, EngineLineState& state, Outbox& out);
