#include "engine/gui_writer.h"
#include "platform/platform.h"
#include "translate/engine_lines.h"
#include "translate/engine_threads.h"

namespace {

// The engine's output has ended. At "quit" that is expected; otherwise the GUI would wait
// for a bestmove for ever, so it is told, and the adapter ends.
void engine_gone(const EngineThreadContext& c) {
  if (c.quitting.load()) return;
  write_gui("info string engine " + c.engine_file + " has exited\n");
  exit_after_gui(1);
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
