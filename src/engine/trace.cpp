#include "engine/trace.h"

#include "platform/platform.h"

void trace_line(Outbox& out, const OptionValues& options, int direction, std::string_view text) {
  if (!option_on(options, kDebug)) return;
  const char* tag = direction == kSentToEngine         ? ">M"
                    : direction == kReceivedFromEngine ? "<M"
                                                       : "";
  platform::LocalTime t = platform::local_time();
  outbox_gui_format(out, "%02d:%02d:%02d:%03d %s %.*s", t.hour, t.minute, t.second, t.millisecond,
                    tag, static_cast<int>(text.size()), text.data());
}

void send_to_engine(Outbox& out, const OptionValues& options, const EngineState& engine,
                    std::string_view command) {
  if (!engine.running) return;
  trace_line(out, options, kSentToEngine, command);
  outbox_engine(out, command);
}
