#include "common/outbox.h"

#include <cstdarg>
#include <cstdio>

namespace {

// What the GUI has not yet read: beyond the first bound only the lines it waits for are kept,
// beyond the second nothing (a GUI that has read nothing for that long reads no more).
constexpr std::size_t kGuiBacklogBytes = 64 * 1024;
constexpr std::size_t kGuiAnswersBytes = 1024 * 1024;
// A command sent to the engine is at most this long; longer text is cut.
constexpr std::size_t kMaxEngineCommand = 4095;

bool is_answer(std::string_view line) {
  for (std::string_view kind :
       {"bestmove", "readyok", "usiok", "id ", "option ", "checkmate notimplemented"}) {
    if (line.substr(0, kind.size()) == kind) return true;
  }
  return false;
}

// The line just appended from begin stays, or is dropped and counted.
void keep_or_drop(Outbox& out, std::size_t begin) {
  if (!out.gui_stalled && !out.reporting) return;
  const std::size_t backlog = begin - out.gui_taken;
  const std::string_view line = std::string_view(out.gui).substr(begin);
  const bool answer = is_answer(line);
  if (!out.gui_stalled && answer) return;  // only reports give way to a slow GUI
  const std::size_t bound = answer ? kGuiAnswersBytes : kGuiBacklogBytes;
  if (backlog + line.size() <= bound) return;
  out.gui.resize(begin);
  ++out.gui_dropped;
}

void compact(std::string& text, std::size_t& taken) {
  if (taken == text.size()) {
    text.clear();
    taken = 0;
  } else if (taken >= 4096 && taken * 2 >= text.size()) {
    text.erase(0, taken);
    taken = 0;
  }
}

}  // namespace

void outbox_gui(Outbox& out, std::initializer_list<std::string_view> parts) {
  const std::size_t begin = out.gui.size();
  for (std::string_view part : parts) out.gui.append(part);
  out.gui.push_back('\n');
  keep_or_drop(out, begin);
}

void outbox_gui_format(Outbox& out, const char* format, ...) {
  const std::size_t begin = out.gui.size();
  char small[256];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) n = 0;
  if (static_cast<std::size_t>(n) < sizeof small) {
    out.gui.append(small, static_cast<std::size_t>(n));
  } else {
    out.gui.resize(begin + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(&out.gui[begin], static_cast<std::size_t>(n) + 1, format, again);
    out.gui.resize(begin + static_cast<std::size_t>(n));
  }
  va_end(again);
  out.gui.push_back('\n');
  keep_or_drop(out, begin);
}

void outbox_engine(Outbox& out, std::string_view command) {
  out.engine.append(command.substr(0, kMaxEngineCommand));
  out.engine.push_back('\n');
}

bool gui_backlog_full(const Outbox& out) {
  return out.gui.size() - out.gui_taken > kGuiBacklogBytes;
}

bool gui_backlog_brimming(const Outbox& out) {
  return out.gui.size() - out.gui_taken > kGuiAnswersBytes;
}

std::string_view gui_waiting(const Outbox& out) {
  return std::string_view(out.gui).substr(out.gui_taken);
}

std::string_view engine_waiting(const Outbox& out) {
  return std::string_view(out.engine).substr(out.engine_taken);
}

void gui_took(Outbox& out, std::size_t count) {
  out.gui_taken += count;
  compact(out.gui, out.gui_taken);
  if (!out.gui.empty() || out.gui_dropped == 0) return;
  const unsigned dropped = out.gui_dropped;
  out.gui_dropped = 0;
  outbox_gui_format(out, "info string %u lines were dropped while the GUI was not reading",
                    dropped);
}

void engine_took(Outbox& out, std::size_t count) {
  out.engine_taken += count;
  compact(out.engine, out.engine_taken);
}
