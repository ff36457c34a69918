// What must hold after any input: the board copy holds only real pieces, and everything
// written to the GUI is whole lines.
#pragma once

#include <cstdlib>

#include "common/outbox.h"
#include "notation/moves.h"
#include "notation/position.h"

inline bool is_piece(std::uint8_t code) {
  if (code == 0) return true;
  const std::uint8_t colour = code & (kBlackPiece | kWhitePiece);
  if (colour != kBlackPiece && colour != kWhitePiece) return false;
  if (code & 0x80) return false;
  const int kind = code & kKindMask;
  return !(code & kPromoted) || (kind != 4 && kind != 7);  // no promoted gold or king
}

inline void check_position(const Position& p) {
  for (std::uint8_t code : p.board) {
    if (!is_piece(code)) std::abort();
  }
  if (p.side_to_move > 1) std::abort();
}

inline void check_gui_lines(const Outbox& out) {
  for (const Outbox::Entry& e : out.entries) {
    if (e.end <= e.begin || e.end > out.text.size()) std::abort();
    if (e.target == Outbox::kGui && out.text[e.end - 1] != '\n') std::abort();
    if (e.target == Outbox::kEngine &&
        out.text.find('\n', e.begin) < e.end) {  // a command is one line
      std::abort();
    }
  }
}
