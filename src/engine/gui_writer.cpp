#include "engine/gui_writer.h"

#include <mutex>

#include "platform/platform.h"

namespace {
std::mutex output_lock;
}

void write_gui(std::string_view whole_lines) {
  std::lock_guard<std::mutex> hold(output_lock);
  platform::write_stdout(whole_lines.data(), whole_lines.size());
}

void exit_after_gui(int code) {
  output_lock.lock();
  platform::exit_process(code);
}
