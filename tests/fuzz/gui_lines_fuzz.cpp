// GUI lines through the command dispatch and the position command; a line that begins with
// byte 1 is an engine line instead, so that positions can continue by the engine's moves.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "front/usi_commands.h"
#include "fuzz/invariants.h"
#include "translate/engine_lines.h"

namespace {

// In memory where there is such a folder: every input writes the position files.
const std::string folder =
    (access("/dev/shm", W_OK) == 0 ? "/dev/shm/orv_fuzz_" : "/tmp/orv_fuzz_") +
    std::to_string(getpid()) + "/";

void fresh(State& s) {
  static const bool made = (std::system(("mkdir -p " + folder).c_str()), true);
  (void)made;
  s.files = {folder + "orv.csa", folder + "sfenbk.dat", folder + "lastmove.dat",
             folder + "restraint.dat"};
  s.ini_path = folder + "orv_molvara.ini";
  for (const std::string* f :
       {&s.files.stored_position, &s.files.last_move, &s.files.restraint, &s.ini_path}) {
    std::remove(f->c_str());
  }
  s.engine.running = true;
  s.engine.version = 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  State s;
  fresh(s);
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    std::string line(rest.substr(0, lf == std::string_view::npos ? rest.size() : lf + 1));
    rest.remove_prefix(line.size());
    if (line[0] == '\x01') {
      translate_engine_line(s, std::string_view(line).substr(1), 0);
    } else {
      UsiLine usi{line, 0};
      const UsiAction action = dispatch_usi_line(s, usi, 0);
      // The engine keeps its contract: a search it owes is answered before the next.
      if (action == UsiAction::kWaitForEngine) search_answered(s.game.searches);
      if (action == UsiAction::kQuit || action == UsiAction::kStartEngine) break;
    }
    check_position(s.position);
    check_gui_lines(s.out);
    s.out = Outbox{};
  }
  return 0;
}
