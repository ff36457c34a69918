// A search report: "info", the score in pawns with a decimal point, then the principal
// variation as signed CSA moves, possibly followed by a tail that begins with "[". The
// variation is converted by walking it on the board copy, which is put back afterwards.
#include "notation/legal_move.h"
#include "notation/moves.h"
#include "translate/csa_text.h"
#include "translate/engine_lines.h"

namespace {

constexpr int kMaxDepth = 100;  // at most 99 moves; a further one is reported as depth 100

// Appends the USI moves of the variation starting at text[space] to pv; returns the depth,
// 0 when not a single move could be read.
int convert_variation(State& s, std::string_view text, std::size_t space, std::string& pv) {
  const bool flip = option_on(s.options, kFlipHorizontal);
  int depth = 1;
  for (;;) {
    const std::size_t move = space + 2;            // past the blank and the sign
    if (move + 6 > text.size()) return depth - 1;  // a move cut short ends the variation
    char csa[6];
    copy_csa_move(text.substr(move), csa);
    if (!csa_move_is_legal(s.position, csa, flip)) return depth - 1;  // ends before it
    char usi[6];
    csa_to_usi_move(s.position, csa, true, flip, usi);
    pv.append(" ").append(usi);
    space = text.find(' ', move);
    // A blank with nothing after it ends the variation as the end of the line would.
    if (space == std::string_view::npos || space + 1 == text.size()) return depth;
    if (text[space + 1] == '[') {
      pv.append(" ").append(text.substr(space + 1));
      return depth;
    }
    if (++depth >= kMaxDepth) return depth;
  }
}

std::int32_t negate(std::int32_t v) {
  return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(v));
}

}  // namespace

void handle_score_line(State& s, std::string_view rest, std::uint32_t now) {
  s.game.info_seen = false;
  if (!reports_shown(s.game.searches)) return;  // of a board the GUI has left
  const Position saved = s.position;
  std::int32_t score = parse_option_value(rest);
  if (s.position.side_to_move == 1) score = negate(score);
  if (s.game.pondering) score = negate(score);
  const std::size_t space = rest.find(' ');
  if (space == std::string_view::npos) {
    outbox_gui(s.out, {"info"});
    return;  // no variation to report
  }
  std::string& pv = s.scratch;
  pv.clear();
  const int depth = convert_variation(s, rest, space, pv);
  s.position = saved;
  const std::int32_t elapsed = static_cast<std::int32_t>(now - s.game.search_start_tick);
  if (depth == 0) {  // no move that reads as one: the score alone
    outbox_gui_format(s.out, "info time %d score cp %d", elapsed, score);
    return;
  }
  outbox_gui_format(s.out, "info time %d depth %d score cp %d pv%s", elapsed, depth, score,
                    pv.c_str());
}
