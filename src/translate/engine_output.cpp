#include "platform/platform.h"
#include "translate/engine_lines.h"
#include "translate/engine_threads.h"

namespace {

// At most this much GUI text is held back to be written together.
constexpr std::size_t kBatchBytes = 16384;

// The engine's output has ended: expected at "quit", the end of the game otherwise.
void engine_gone(const EngineThreadContext& c) {
  if (!c.quitting.load()) end_for_engine(c.link, "has exited");
}

}  // namespace

bool relay_engine_output(EngineThreadContext& c, EngineLineState& state, Outbox& out) {
  LineRead line = read_line(c.link.out_reader);
  if (!line.ok) {
    deliver(out, c.link);
    return false;
  }
  if (!line.text.empty()) {  // an empty engine line is no line at all
    std::lock_guard<std::mutex> hold(c.state_lock);
    translate_engine_line(state, line.text, platform::tick_ms(), out);
    take_engine_turn(out, c.link);
  }
  // Lines that came in one read go out in one write; whatever a read completed, a blank line
  // last included, is written before the engine is waited for again.
  if (!has_whole_line(c.link.out_reader) || out.text.size() >= kBatchBytes) deliver(out, c.link);
  return true;
}

void engine_out_thread(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  EngineLineState state{c.position, c.game, c.options, c.engine, c.files, {}};
  Outbox out;
  while (relay_engine_output(c, state, out)) {
  }
  engine_gone(c);
}
