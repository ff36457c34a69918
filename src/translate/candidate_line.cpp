// A candidate list from the engine's book: "info " followed by moves, each as six CSA
// characters, "(", a percentage text and "%". They are reported from the end of the line
// towards its start, then a closing line.
#include "common/messages.h"
#include "notation/legal_move.h"
#include "notation/moves.h"
#include "translate/csa_text.h"
#include "translate/engine_lines.h"

namespace {

// The nearest c at or before from and after index 0 (the position right after "info "),
// or 0 when there is none.
std::size_t find_back(std::string_view text, std::size_t from, char c) {
  for (std::size_t i = from; i > 0; --i) {
    if (text[i] == c) return i;
  }
  return 0;
}

}  // namespace

void handle_candidate_line(State& s, std::string_view rest) {
  s.game.info_seen = true;
  if (!reports_shown(s.game.searches)) return;  // of a board the GUI has left
  const bool flip = option_on(s.options, kFlipHorizontal);
  std::size_t scan = rest.size();
  while (scan > 0) {
    const std::size_t percent = find_back(rest, scan < rest.size() ? scan : rest.size() - 1, '%');
    if (percent == 0) break;
    const std::size_t paren = find_back(rest, percent - 1, '(');
    if (paren < 6) break;  // no room for a move before it
    char csa[6];
    copy_csa_move(rest.substr(paren - 6), csa);
    scan = paren - 6;
    if (!csa_move_is_legal(s.position, csa, flip)) continue;  // no move to show
    char usi[6];
    csa_to_usi_move(s.position, csa, false, flip, usi);
    // The percentage is passed on whole, however long the engine wrote it.
    outbox_gui(s.out, {"info nodes ", rest.substr(paren + 1, percent - paren - 1), " pv ", usi});
  }
  outbox_gui(s.out, {"info nodes ", message(kMsgIdeographicSpace)});
}
