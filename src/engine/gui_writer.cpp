#include "engine/gui_writer.h"

#include <mutex>

#include "platform/platform.h"

namespace {
std::mutex output_lock;
GuiOutput redirected = nullptr;
}  // namespace

void write_gui(std::string_view whole_lines) {
  std::lock_guard<std::mutex> hold(output_lock);
  if (redirected) return redirected(whole_lines);
  platform::write_stdout(whole_lines.data(), whole_lines.size());
}

void exit_after_gui(int code) {
  output_lock.lock();
  platform::exit_process(code);
}

void redirect_gui_output(GuiOutput output) {
  std::lock_guard<std::mutex> hold(output_lock);
  redirected = output;
}
