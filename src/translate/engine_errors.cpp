#include "platform/platform.h"
#include "translate/engine_lines.h"
#include "translate/engine_threads.h"

namespace {
// The relay passes on at most one line per pause.
constexpr unsigned kRelayPauseMs = 200;
}  // namespace

void engine_err_thread(void* context) {
  EngineThreadContext& c = *static_cast<EngineThreadContext*>(context);
  Outbox out;
  for (;;) {
    platform::sleep_ms(kRelayPauseMs);
    LineRead line = read_line(c.link.err_reader);
    if (!line.ok) return;
    if (line.text.empty()) continue;
    relay_error_line(line.text, out);
    deliver(out, c.link);
  }
}
