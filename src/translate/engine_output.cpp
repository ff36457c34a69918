#include "platform/platform.h"
#include "translate/engine_lines.h"
#include "translate/engine_threads.h"

namespace {

// At most this much GUI text is held back to be written together.
constexpr std::size_t kBatchBytes = 16384;

// The engine's output has ended: expected at "quit", the end of the game otherwise. What
// the engine said last on its standard error comes first.
void engine_gone(EngineThreadContext& c) {
  if (c.quitting.load()) return;
  finish_error_relay(c);
  end_for_engine(c.link, "has exited");
}

}  // namespace

void compose_engine_line(EngineThreadContext& c, EngineLineState& state, std::string_view line,
                         Outbox& out, bool ends_line) {
  std::lock_guard<std::mutex> hold(c.state_lock);
  translate_engine_piece(state, line, ends_line, platform::tick_ms(), out);
  take_engine_turn(out, c.link);
}

bool relay_engine_output(EngineThreadContext& c, EngineLineState& state, Outbox& out) {
  LineRead line = read_line(c.link.out_reader);
  if (!line.ok) {
    deliver(out, c.link);
    return false;
  }
  compose_engine_line(c, state, line.text, out, line.terminated);
  // Lines that came in one read go out in one write; whatever a read completed, a blank line
  // last included, is written before the engine is waited for again.
  if (!has_whole_line(c.link.out_reader) || out.text.size() >= kBatchBytes) deliver(out, c.link);
  return true;
}

void engine_out_thread(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  EngineLineState state{c.position, c.game, c.options, c.engine, c.files, {}, {}};
  Outbox out;
  while (relay_engine_output(c, state, out)) {
  }
  engine_gone(c);
}
