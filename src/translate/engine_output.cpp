#include "platform/platform.h"
#include "translate/engine_lines.h"
#include "translate/engine_threads.h"

namespace {

// At most this much GUI text is held back to be written together.
constexpr std::size_t kBatchBytes = 16384;

// How long the last lines already in the engine's output are waited for once it has gone
// some other way than by the end of its output.
constexpr unsigned kLastOutputWaitMs = 500;

}  // namespace

void engine_gone(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  if (c.quitting.load()) return;
  if (c.link.gone_told.exchange(true)) {  // another thread tells it and ends orv
    for (;;) platform::sleep_ms(1000);
  }
  for (unsigned waited = 0; !c.link.output_ended.load() && waited < kLastOutputWaitMs; waited += 5)
    platform::sleep_ms(5);
  finish_error_relay(c);
  end_for_engine(c.link, "has exited");
}

void compose_engine_line(EngineThreadContext& c, EngineLineState& state, std::string_view line,
                         Outbox& out, bool ends_line) {
  std::lock_guard<std::mutex> hold(c.state_lock);
  const bool busy = engine_busy(c.game.searches);
  translate_engine_piece(state, line, ends_line, platform::tick_ms(), out);
  take_engine_turn(out, c.link);
  if (busy && !engine_busy(c.game.searches)) c.searches_changed.notify_all();
}

bool relay_engine_output(EngineThreadContext& c, EngineLineState& state, Outbox& out) {
  LineRead line = read_line(c.link.out_reader);
  state.read = c.link.out_reader.reads;
  c.link.out_reads.store(state.read);
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
  EngineLineState state{c.position, c.searched, c.game, c.options, c.engine, c.files, {}, {}};
  Outbox out;
  while (relay_engine_output(c, state, out)) {
  }
  c.link.output_ended.store(true);
  engine_gone(context);
}
