// Engine lines through the output translator, from the start position and state chosen by
// the first byte.
#include <cstring>
#include <string_view>

#include "front/usi_commands.h"
#include "fuzz/invariants.h"
#include "notation/position_file.h"
#include "translate/engine_lines.h"

namespace {

void gui(State& s, std::string_view text) {
  UsiLine line{text, 0};
  dispatch_usi_line(s, line, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  State s;
  s.files = {"/nonexistent/orv.csa", "/nonexistent/sfenbk.dat", "/nonexistent/lastmove.dat",
             "/nonexistent/restraint.dat"};
  s.ini_path = "/nonexistent/orv_molvara.ini";
  set_start_position(s.position);
  s.engine.running = true;
  s.engine.version = flags & 1 ? 1 : 2;
  s.game.pondering = flags & 2;
  set_option(s.options, kInfBook, flags & 8 ? "true" : "false");
  set_option(s.options, kFlipHorizontal, flags & 16 ? "true" : "false");
  set_option(s.options, kDebug, flags & 32 ? "true" : "false");
  if (flags & 4) gui(s, "go infinite\n");
  s.out = Outbox{};
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    const std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (line.empty()) continue;
    const Position before = s.position;
    translate_engine_line(s, line, 1000);
    // Only a move line moves the board; a variation is walked and put back.
    if (line.substr(0, 4) != "move" && std::memcmp(&before, &s.position, sizeof before) != 0) {
      std::abort();
    }
    check_position(s.position);
    check_gui_lines(s.out);
    check_moves_shown(s.out);
    s.out = Outbox{};
  }
  return 0;
}
