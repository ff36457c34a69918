#include "platform/platform.h"
#include "translate/engine_lines.h"
#include "translate/engine_threads.h"

namespace {

// The engine's output has ended: expected at "quit", the end of the game otherwise.
void engine_gone(const EngineThreadContext& c) {
  if (!c.quitting.load()) end_for_engine(c.link, "has exited");
}

}  // namespace

void engine_out_thread(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  EngineLineState state{c.position, c.game, c.options, c.engine, "lastmove.dat", {}};
  Outbox out;
  for (;;) {
    LineRead line = read_line(c.link.out_reader);
    if (!line.ok) return engine_gone(c);
    if (line.text.empty()) continue;  // an empty engine line is no line at all
    {
      std::lock_guard<std::mutex> hold(c.state_lock);
      translate_engine_line(state, line.text, platform::tick_ms(), out);
    }
    deliver(out, c.link);
  }
}
