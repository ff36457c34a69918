#include "common/trace.h"

void trace_line(State& s, int direction, std::string_view text) {
  if (!option_on(s.options, kDebug)) return;
  const char* tag = direction == kSentToEngine ? ">M" : "<M";
  platform::LocalTime t = platform::local_time();
  outbox_gui_format(s.out, "%02d:%02d:%02d:%03d %s %.*s", t.hour, t.minute, t.second, t.millisecond,
                    tag, static_cast<int>(text.size()), text.data());
}

void send_command(State& s, std::string_view command) {
  if (!s.engine.running) return;
  trace_line(s, kSentToEngine, command);
  outbox_engine(s.out, command);
}
