#include "engine/gui_writer.h"

#include <atomic>
#include <mutex>

#include "platform/platform.h"

namespace {
std::mutex output_lock;
GuiOutput redirected = nullptr;
std::atomic<bool> exiting{false};
}  // namespace

void write_gui(std::string_view whole_lines) {
  // Once the process is ending, a busy thread must not keep the lock from it.
  if (exiting.load()) return;
  std::lock_guard<std::mutex> hold(output_lock);
  if (redirected) return redirected(whole_lines);
  platform::write_stdout(whole_lines.data(), whole_lines.size());
}

void exit_after_gui(int code) {
  exiting.store(true);
  output_lock.lock();
  platform::exit_process(code);
}

void redirect_gui_output(GuiOutput output) {
  std::lock_guard<std::mutex> hold(output_lock);
  redirected = output;
}
