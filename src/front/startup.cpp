#include "front/startup.h"

#include "common/messages.h"
#include "engine/engine_text.h"
#include "notation/position_file.h"
#include "platform/platform.h"

namespace {

constexpr std::size_t kMaxNameBytes = 260;  // "Name" is read back with at most 259 bytes
constexpr std::size_t kMaxDirLength = 260;  // "Dir" with at most 259 path characters

// The example name a renamed executable should follow.
std::string example_name() {
  return "orv_molvara" + std::string(platform::executable_suffix());
}

}  // namespace

StartUp start_up(State& a, const char* argv0) {
  // The board copy follows the engine's game, which begins at the start position.
  set_start_position(a.position);
  const platform::Path executable = platform::executable_path(argv0);
  a.engine_base_name = base_name_of<platform::PathChar>(executable, platform::path_separator());
  a.engine_dir = platform::current_directory();
  a.engine_dir += platform::path_separator();
  a.ini_path = a.engine_dir + a.engine_base_name + platform::to_path(".ini");
  if (!strip_prefix(a.engine_base_name)) {
    platform::show_startup_error({}, std::string(message(kMsgBadExecutableName)) + "\n" +
                                         example_name() + " " +
                                         std::string(message(kMsgRenameLike)));
    return StartUp::kFailed;
  }
  a.engine.file = platform::from_path(a.engine_base_name) + platform::executable_suffix();
  // Where the file cannot hold the folder's name (an ANSI file on Windows keeps "?" for
  // what lies outside its code page), it never matches: the engine is started now.
  const platform::Path dir = platform::ini_read_path(a.ini_path, "Molvara", "Dir", kMaxDirLength);
  if (dir.empty() || dir != a.engine_dir) return StartUp::kEngineNow;
  a.engine_name = platform::ini_read(a.ini_path, "Molvara", "Name", "", kMaxNameBytes);
  // Cut where a whole character ends: a longer name stored by an earlier run.
  a.engine_name.resize(whole_characters(a.engine_name));
  return StartUp::kEngineAtIsready;
}

void engine_cannot_start_now(const State& a) {
  platform::show_startup_error(
      a.engine_base_name + platform::to_path(platform::executable_suffix()),
      " " + std::string(message(kMsgCannotStart)));
}

void engine_named(State& a, const std::string& name, bool first_start) {
  if (first_start) platform::ini_write_path(a.ini_path, "Molvara", "Dir", a.engine_dir);
  if (!first_start && name == a.engine_name) return;
  a.engine_name = name;
  platform::ini_write(a.ini_path, "Molvara", "Name", a.engine_name);
}
