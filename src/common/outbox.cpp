#include "common/outbox.h"

#include <cstdarg>
#include <cstdio>

namespace {

void close_entry(Outbox& out, Outbox::Target target, std::size_t begin) {
  out.entries.push_back(
      {target, static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(out.text.size())});
}

}  // namespace

void outbox_gui(Outbox& out, std::initializer_list<std::string_view> parts) {
  const std::size_t begin = out.text.size();
  for (std::string_view part : parts) out.text.append(part);
  out.text.push_back('\n');
  close_entry(out, Outbox::kGui, begin);
}

void outbox_gui_format(Outbox& out, const char* format, ...) {
  const std::size_t begin = out.text.size();
  char small[256];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) n = 0;
  if (static_cast<std::size_t>(n) < sizeof small) {
    out.text.append(small, static_cast<std::size_t>(n));
  } else {
    out.text.resize(begin + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(&out.text[begin], static_cast<std::size_t>(n) + 1, format, again);
    out.text.resize(begin + static_cast<std::size_t>(n));
  }
  va_end(again);
  out.text.push_back('\n');
  close_entry(out, Outbox::kGui, begin);
}

void outbox_engine(Outbox& out, std::string_view command) {
  const std::size_t begin = out.text.size();
  out.text.append(command);
  close_entry(out, Outbox::kEngine, begin);
  out.to_engine = true;
}

void outbox_clear(Outbox& out) {
  out.text.clear();
  out.entries.clear();
  out.to_engine = false;
  out.engine_turn = -1;
}
