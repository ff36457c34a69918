// GUI lines through the command loop and the position command; a line that begins with
// byte 1 is an engine line instead, so that positions can continue by the engine's moves.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "front/usi_loop.h"
#include "fuzz/invariants.h"
#include "translate/engine_lines.h"

namespace {

// In memory where there is such a folder: every input writes the position files.
const std::string folder =
    (access("/dev/shm", W_OK) == 0 ? "/dev/shm/orv_fuzz_" : "/tmp/orv_fuzz_") +
    std::to_string(getpid()) + "/";

std::unique_ptr<Adapter> fresh_adapter() {
  auto a = std::make_unique<Adapter>();
  static const bool made = (std::system(("mkdir -p " + folder).c_str()), true);
  (void)made;
  a->files = {folder + "orv.csa", folder + "sfenbk.dat", folder + "lastmove.dat",
              folder + "restraint.dat"};
  a->ini_path = folder + "orv_molvara.ini";
  for (const std::string* f :
       {&a->files.stored_position, &a->files.last_move, &a->files.restraint, &a->ini_path}) {
    std::remove(f->c_str());
  }
  a->engine_dir = "/nonexistent/";  // a deferred start must fail, never start a program
  a->engine_base_name = "molvara";
  a->engine.running = true;
  return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto a = fresh_adapter();
  EngineLineState engine_side{
      a->position, a->searched_position, a->game, a->options, a->engine, a->files, {}, {}};
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  Outbox out;
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    std::string line(rest.substr(0, lf == std::string_view::npos ? rest.size() : lf + 1));
    rest.remove_prefix(line.size());
    if (line[0] == '\x01') {
      translate_engine_line(engine_side, std::string_view(line).substr(1), 0, out);
    } else {
      UsiLine usi{line, 0};
      if (dispatch_usi_line(*a, usi, out) != LoopAction::kContinue) break;
    }
    check_position(a->position);
    check_gui_lines(out);
    outbox_clear(out);
  }
  return 0;
}
