#include "notation/position_file.h"

#include <cstdio>
#include <cstring>

#include "notation/moves.h"
#include "platform/platform.h"

namespace {

// The parse reads through this, so a text that ends inside any field is never read past
// its end (a zero byte ends it too, as the GUI line's terminator would).
struct Cursor {
  std::string_view text;
  std::size_t j = 0;
  char at(std::size_t i) const { return i < text.size() ? text[i] : '\0'; }
  char here() const { return at(j); }
};

constexpr std::string_view kStartSfen =
    "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1";

constexpr int kMaxHandCount = 127;  // a hand count is a signed byte

int letter_index(char c) {
  if (c == '\0') return -1;
  const char* hit = std::strchr(sfen_piece_letters, c);
  return hit ? static_cast<int>(hit - sfen_piece_letters) : -1;
}

// Squares past the 81st are not stored; the field is still read to its end.
void parse_board(Cursor& c, Position& p, std::string& report) {
  std::size_t base = 0, column = 0;
  std::uint8_t promoted = 0;
  auto put = [&](std::uint8_t code) {
    if (base + column < 81) p.board[base + column] = code;
    ++column;
  };
  for (char ch; (ch = c.here()) != '\0' && ch != ' '; ++c.j) {
    if (ch >= '1' && ch <= '9') {
      for (int n = ch - '0'; n > 0; --n) put(0);
    } else if (ch == '+') {
      promoted = kPromoted;
    } else if (ch == '/') {
      base += 9, column = 0;
    } else if (int k = letter_index(ch); k >= 0) {
      // Golds and kings have no promoted form: a "+" before them is not kept.
      const bool can = (k & 7) != 4 && (k & 7) != 7;
      put(static_cast<std::uint8_t>((k < 8 ? kBlackPiece + k : kWhitePiece + (k - 8)) |
                                    (can ? promoted : 0)));
      promoted = 0;
    } else {
      report += "position\n";
      put(0);  // an unknown piece leaves its square empty
    }
  }
}

void parse_hands(Cursor& c, Position& p, std::string& report) {
  std::memset(p.hands, 0, sizeof p.hands);
  if (c.here() == '-') {
    c.j += 2;
    return;
  }
  int count = 0;
  for (char ch; (ch = c.here()) != '\0'; ++c.j) {
    if (ch == ' ') {
      ++c.j;
      return;
    }
    if (ch == '-') {
      c.j += 2;
      return;
    }
    if (ch >= '0' && ch <= '9') {
      count = count * 10 + (ch - '0');
      if (count > kMaxHandCount) count = kMaxHandCount;
    } else if (int k = letter_index(ch); k >= 0) {
      p.hands[k] = static_cast<std::int8_t>(count == 0 ? 1 : count);
      count = 0;
    } else {
      report += "koma\n";
      count = 0;
    }
  }
}

void parse_move_count(Cursor& c, Position& p, std::string& report) {
  std::uint32_t count = 0;
  for (char ch; (ch = c.here()) != '\0'; ++c.j) {
    if (ch >= '0' && ch <= '9') {
      count = count * 10u + static_cast<std::uint32_t>(ch - '0');
    } else if (ch == ' ') {
      c.j += 7;  // " moves ", not compared
      break;
    } else if (ch == '\n') {
      break;
    } else {
      report += "tesuu\n";
    }
  }
  p.move_number = static_cast<std::int32_t>(count - 1u);
}

void write_board(std::string& file, const Position& p, bool flip) {
  for (int rank = 0; rank < 9; ++rank) {
    file += 'P';
    file += static_cast<char>('1' + rank);
    for (int cell = 0; cell < 9; ++cell) {
      std::uint8_t code = p.board[9 * rank + (flip ? 8 - cell : cell)];
      if (code == 0) {
        file += " * ";
      } else {
        file += (code & kBlackPiece) ? '+' : '-';
        file.append(csa_piece_codes + 2 * (code & 0x0F), 2);
      }
    }
    file += '\n';
  }
  for (int side = 0; side < 2; ++side) {
    file += side == 0 ? "P+" : "P-";
    for (int kind = 0; kind < 8; ++kind) {
      for (int n = p.hands[kind + 8 * side]; n > 0; --n) {
        file += "00";
        file.append(csa_piece_codes + 2 * kind, 2);
      }
    }
    file += '\n';
  }
  file += p.side_to_move == 0 ? "+\n" : "-\n";
}

void write_moves(std::string& file, Cursor& c, Position& p, bool flip) {
  while (c.j < c.text.size()) {
    char ch = c.here();
    if (ch == '\0') break;
    if (ch == ' ' || ch == '\r' || ch == '\n') {
      ++c.j;
      continue;
    }
    file += p.side_to_move == 0 ? '+' : '-';
    CsaMove move;
    int length = usi_to_csa_move(p, c.text.substr(c.j), true, flip, move);
    file.append(move.text, 6);
    file += '\n';
    c.j += static_cast<std::size_t>(length) + 1;
  }
}

}  // namespace

bool position_text_of(std::string_view argument, std::string& text) {
  constexpr std::string_view kStartpos = "startpos", kSfen = "sfen";
  if (argument.substr(0, kStartpos.size()) == kStartpos) {
    text.assign(kStartSfen);
    text.append(argument.substr(kStartpos.size()));
    return true;
  }
  if (argument.substr(0, kSfen.size()) == kSfen) {
    // The separator after the word is skipped, whatever it is.
    text.assign(argument.substr(argument.size() > kSfen.size() ? kSfen.size() + 1 : kSfen.size()));
    return true;
  }
  return false;
}

void set_start_position(Position& p) {
  std::string nothing_to_report;
  position_file_text(p, std::string(kStartSfen) + "\n", false, nothing_to_report);
}

std::string position_file_text(Position& p, std::string_view text, bool flip, std::string& report) {
  Cursor c{text};
  parse_board(c, p, report);
  p.side_to_move = c.at(c.j + 1) == 'b' ? 0 : 1;
  c.j += 3;
  parse_hands(c, p, report);
  parse_move_count(c, p, report);

  std::string file;
  file.reserve(40960);
  write_board(file, p, flip);
  write_moves(file, c, p, flip);
  return file;
}

bool write_position_file_again(Position& p, std::string_view argument, bool flip,
                               const std::string& path) {
  std::string text;
  std::string already_reported;  // when the GUI sent it
  return position_text_of(argument, text) &&
         write_position_file(p, text, flip, already_reported, path);
}

namespace {

bool write_bytes(const std::string& path, const std::string& bytes) {
  FILE* stream = std::fopen(path.c_str(), "wb");
  if (!stream) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
  ok = std::fclose(stream) == 0 && ok;
  return ok;
}

}  // namespace

bool write_position_file(Position& p, std::string_view text, bool flip, std::string& report,
                         const std::string& path) {
  const std::string file = position_file_text(p, text, flip, report);
  // Made beside it and put in its place: an engine still reading the last one never reads
  // half of this. Where that cannot be done (the file in use), it is written in place.
  const std::string temp = path + ".tmp";
  if (write_bytes(temp, file) && platform::replace_file(temp, path)) return true;
  std::remove(temp.c_str());
  return write_bytes(path, file);
}
