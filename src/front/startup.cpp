#include "front/startup.h"

#include "common/messages.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view kPrefix = "orv_";
constexpr std::size_t kMaxNameBytes = 260;  // "Name" is read back with at most 259 bytes

// The example name a renamed executable should follow.
std::string example_name() {
  return "orv_molvara" + std::string(platform::executable_suffix());
}

}  // namespace

std::string base_name_of(std::string_view path, char separator) {
  std::size_t slash = path.rfind(separator);
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  std::size_t dot = path.rfind('.');
  if (dot != std::string_view::npos) path = path.substr(0, dot);
  return std::string(path);
}

bool strip_prefix(std::string& name) {
  if (name.size() <= kPrefix.size() || name.compare(0, kPrefix.size(), kPrefix) != 0) {
    return false;
  }
  name.erase(0, kPrefix.size());
  return true;
}

bool launch_adapter_engine(Adapter& a, std::string& name) {
  ReaderThreads procs{engine_out_thread, engine_err_thread, &a.threads};
  return launch_engine(a.link, a.engine, a.engine_dir, a.engine_base_name, name, procs);
}

int start_up(Adapter& a, const char* argv0) {
  a.engine_base_name = base_name_of(platform::executable_path(argv0), platform::path_separator());
  a.engine_dir = platform::current_directory() + platform::path_separator();
  a.ini_path = a.engine_dir + a.engine_base_name + ".ini";
  if (!strip_prefix(a.engine_base_name)) {
    platform::show_startup_error(std::string(message(kMsgBadExecutableName)) + "\n" +
                                 example_name() + " " + std::string(message(kMsgRenameLike)));
    return 1;
  }

  const std::string dir = platform::ini_read(a.ini_path, "Molvara", "Dir", "", kMaxNameBytes);
  if (dir.empty() || dir != a.engine_dir) {
    std::lock_guard<std::mutex> hold(a.state_lock);
    if (!launch_adapter_engine(a, a.engine_name)) {
      platform::show_startup_error(a.engine_base_name + platform::executable_suffix() + " " +
                                   std::string(message(kMsgCannotStart)));
      return 1;
    }
    platform::ini_write(a.ini_path, "Molvara", "Dir", a.engine_dir);
    platform::ini_write(a.ini_path, "Molvara", "Name", a.engine_name);
  } else {
    a.engine_name = platform::ini_read(a.ini_path, "Molvara", "Name", "", kMaxNameBytes);
  }
  return 0;
}
