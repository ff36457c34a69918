#include <memory>
#include <string_view>

#include "engine/gui_writer.h"
#include "front/adapter.h"
#include "front/self_check.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::init_process();
  // The one argument orv takes; it is asked before any name check or engine start.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    write_gui("orv " ORV_VERSION "\n");
    exit_after_gui(0);
  }
  const char* argv0 = argc > 0 ? argv[0] : "";
  // The same check a person sees on starting orv by hand, for scripts: its exit code tells.
  if (argc == 2 && std::string_view(argv[1]) == "--check") {
    exit_after_gui(run_self_check(argv0, ORV_VERSION, false) == CheckResult::kAllWell ? 0 : 1);
  }
  // A person typing, not a GUI: say what orv is and whether its folder is right first. After
  // a failure nothing would work: orv starts no engine, writes nothing, and leaves the window
  // open until the check has been read.
  if (platform::stdin_is_console() &&
      run_self_check(argv0, ORV_VERSION, true) == CheckResult::kFailed) {
    wait_for_enter();
    exit_after_gui(1);
  }
  // The adapter lives until the process ends; its reader threads hold on to it.
  Adapter* adapter = new Adapter();
  const int code = run_adapter(*adapter, argv0);
  exit_after_gui(code);
}
