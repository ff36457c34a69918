// Engine lines through the output translator, from the start position and state chosen by
// the first byte.
#include <cstring>
#include <string_view>

#include "fuzz/invariants.h"
#include "notation/position_file.h"
#include "translate/engine_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  Position position;
  GameState game;
  OptionValues options;
  EngineState engine;
  Outbox out;
  position_file_text(position, "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1\n",
                     false, out);
  outbox_clear(out);
  engine.running = true;
  engine.is_v1 = flags & 1;
  game.pondering = flags & 2;
  if (flags & 4) search_asked(game.searches, true), game.searches.analysis = true;
  set_option(options, kInfBook, flags & 8 ? "true" : "false");
  set_option(options, kFlipHorizontal, flags & 16 ? "true" : "false");
  set_option(options, kDebug, flags & 32 ? "true" : "false");
  static const PositionFiles files{"/nonexistent/orv.csa", "/nonexistent/sfenbk.dat",
                                   "/nonexistent/lastmove.dat", "/nonexistent/restraint.dat"};
  EngineLineState state{position, position, game, options, engine, files, {}, {}};
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    const std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (line.empty()) continue;
    const Position before = position;
    translate_engine_line(state, line, 1000, out);
    // Only a move line moves the board; a variation is walked and put back.
    if (line.substr(0, 4) != "move" && std::memcmp(&before, &position, sizeof before) != 0) {
      std::abort();
    }
    check_position(position);
    check_gui_lines(out);
    check_moves_shown(out);
    outbox_clear(out);
  }
  return 0;
}
