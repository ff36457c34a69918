// What must hold after any input: the board copy holds only real pieces, everything
// written to the GUI is whole lines, and every move shown is one a GUI can read.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

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

// Whatever was written: whole lines to the GUI, whole commands to the engine.
inline void check_gui_lines(const Outbox& out) {
  if (!out.gui.empty() && out.gui.back() != '\n') std::abort();
  if (!out.engine.empty() && out.engine.back() != '\n') std::abort();
}

// A USI move: two different squares and an optional "+", or a drop letter, "*" and a square.
inline bool is_usi_move(std::string_view m) {
  auto square = [&](std::size_t i) {
    return m[i] >= '1' && m[i] <= '9' && m[i + 1] >= 'a' && m[i + 1] <= 'i';
  };
  if (m.size() == 4 && m[1] == '*')
    return std::string_view("PLNSGBR").find(m[0]) != m.npos && square(2);
  if (m.size() == 5 && m[4] != '+') return false;
  return (m.size() == 4 || m.size() == 5) && square(0) && square(2) &&
         m.substr(0, 2) != m.substr(2, 2);
}

// The bestmoves and the moves of variations and candidate lists, whatever the engine wrote:
// a line orv does not know never passes for one.
inline void check_moves_shown(const Outbox& out) {
  std::string_view rest = out.gui;
  while (!rest.empty()) {
    const std::string_view line = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(line.size() + 1);
    if (line.substr(0, 9) == "bestmove ") {
      if (line != "bestmove resign" && !is_usi_move(line.substr(9))) std::abort();
      continue;
    }
    // A candidate's percentage is free text: its move follows the last " pv ".
    const bool candidate = line.substr(0, 11) == "info nodes ";
    const std::size_t pv = candidate ? line.rfind(" pv ") : line.find(" pv ");
    if (!(candidate || line.substr(0, 10) == "info time ") || pv == line.npos) continue;
    for (std::size_t at = pv + 4; at < line.size();) {
      std::size_t end = line.find(' ', at);
      if (end == line.npos) end = line.size();
      const std::string_view token = line.substr(at, end - at);
      if (!token.empty() && token[0] == '[') break;
      if (!is_usi_move(token)) std::abort();
      at = end + 1;
    }
  }
}
