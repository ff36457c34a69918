#include <string_view>

#include "front/self_check.h"
#include "platform/platform.h"
#include "session/session.h"

namespace {

[[noreturn]] void say_and_exit(std::string_view text, int code) {
  platform::write_stdout(text.data(), text.size());
  platform::exit_process(code);
}

}  // namespace

int main(int argc, char** argv) {
  platform::init_process();
  // The one argument orv takes; it is asked before any name check or engine start.
  if (argc == 2 && std::string_view(argv[1]) == "--version")
    say_and_exit("orv " ORV_VERSION "\n", 0);
  const char* argv0 = argc > 0 ? argv[0] : "";
  // The same check a person sees on starting orv by hand, for scripts: its exit code tells.
  if (argc == 2 && std::string_view(argv[1]) == "--check") {
    platform::exit_process(run_self_check(argv0, ORV_VERSION, false) == CheckResult::kAllWell ? 0
                                                                                              : 1);
  }
  // A person typing, not a GUI: say what orv is and whether its folder is right first. After
  // a failure nothing would work: orv starts no engine, writes nothing, and leaves the window
  // open until the check has been read.
  // The session lives until the process ends; what is typed during the check is its input.
  Session* session = new Session();
  if (platform::stdin_is_console() &&
      run_self_check(argv0, ORV_VERSION, true, &session->gui) == CheckResult::kFailed) {
    wait_for_enter(session->gui);
    platform::exit_process(1);
  }
  platform::exit_process(run_session(*session, argv0));
}
