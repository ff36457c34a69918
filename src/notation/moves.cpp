#include "notation/moves.h"

const char csa_piece_codes[33] = "FUKYKEGIKIKAHIOUTONYNKNG__UMRY__";
const char sfen_piece_letters[17] = "PLNSGBRKplnsgbrk";

namespace {

std::uint8_t side_bit(const Position& p) {
  return p.side_to_move == 0 ? kBlackPiece : kWhitePiece;
}

bool is_file(char c) {
  return c >= '1' && c <= '9';
}

char char_at(std::string_view text, std::size_t i) {
  return i < text.size() ? text[i] : '\0';
}

// The rank letter of a CSA rank digit and back; "0" for anything malformed.
char rank_letter(char digit) {
  return is_file(digit) ? static_cast<char>(digit + 0x30) : '0';
}
char rank_digit(char letter) {
  return letter >= 'a' && letter <= 'i' ? static_cast<char>(letter - 0x30) : '0';
}

// Golds and kings have no promoted form; a "+" on them, or on an empty square, changes
// nothing, so the board only ever holds real pieces.
bool can_promote(std::uint8_t code) {
  const int kind = code & kKindMask;
  return code != 0 && kind != 4 && kind != 7;
}

char csa_file(char c, bool flip) {
  return is_file(c) ? flip_file(c, flip) : '0';
}

void add_to_hand(Position& p, int slot, int delta) {
  // Counts wrap like the signed bytes they are, without overflowing.
  p.hands[slot] = static_cast<std::int8_t>(static_cast<std::uint8_t>(p.hands[slot]) + delta);
}

}  // namespace

int csa_piece_kind(const char* code) {
  int kind = 0;
  while (kind < 16 && !(csa_piece_codes[2 * kind] == code[0] &&
                        csa_piece_codes[2 * kind + 1] == code[1] && code[0] != '_')) {
    ++kind;
  }
  return kind;
}

std::int8_t usi_square(char file, char rank_letter) {
  if (!is_file(file) || rank_letter < 'a' || rank_letter > 'i') return kNoSquare;
  return static_cast<std::int8_t>(9 * (rank_letter - 'a') + (9 - (file - '0')));
}

std::int8_t csa_square(char file, char rank_digit) {
  if (!is_file(file) || !is_file(rank_digit)) return kNoSquare;
  return static_cast<std::int8_t>(9 * (rank_digit - '1') + (9 - (file - '0')));
}

char flip_file(char c, bool flip) {
  return flip && is_file(c) ? static_cast<char>('j' - c) : c;
}

void apply_move(Position& p, std::int8_t from, std::int8_t to, std::uint8_t code) {
  const bool playable = to >= 0 && (from == kDrop || from >= 0);
  if (playable) {
    const int side = p.side_to_move == 0 ? 0 : 8;
    if (from == kDrop) {
      add_to_hand(p, (code & kKindMask) + side, -1);
    } else {
      if (p.board[to] != 0) add_to_hand(p, (p.board[to] & kKindMask) + side, +1);
      p.board[from] = 0;
    }
    p.board[to] = code;
  }
  p.side_to_move = p.side_to_move == 0 ? 1 : 0;
  p.move_number = static_cast<std::int32_t>(static_cast<std::uint32_t>(p.move_number) + 1u);
}

int usi_to_csa_move(Position& p, std::string_view usi, bool apply, bool flip, CsaMove& out) {
  std::int8_t from, to;
  std::uint8_t code;
  int length = 4;
  char* t = out.text;
  if (char_at(usi, 1) == '*') {
    int kind = 0;
    while (kind < 7 && sfen_piece_letters[kind] != char_at(usi, 0)) ++kind;
    code = static_cast<std::uint8_t>(kind | side_bit(p));
    from = kDrop;
    to = usi_square(char_at(usi, 2), char_at(usi, 3));
    t[0] = '0', t[1] = '0';
  } else {
    from = usi_square(char_at(usi, 0), char_at(usi, 1));
    to = usi_square(char_at(usi, 2), char_at(usi, 3));
    code = from >= 0 ? p.board[from] : 0;
    if (char_at(usi, 4) == '+') {
      length = 5;
      if (can_promote(code)) code |= kPromoted | kPromotionMark;
    }
    // Nothing is there to move: the board stays as it is.
    if (code == 0 || from < 0) to = kNoSquare;
    t[0] = csa_file(char_at(usi, 0), flip);
    t[1] = rank_digit(char_at(usi, 1));
  }
  t[2] = csa_file(char_at(usi, 2), flip);
  t[3] = rank_digit(char_at(usi, 3));
  t[4] = csa_piece_codes[2 * (code & 0x0F)];
  t[5] = csa_piece_codes[2 * (code & 0x0F) + 1];
  t[6] = '\0';
  if (apply) apply_move(p, from, to, code);
  return length;
}

bool csa_move_is_readable(const Position& p, const char* csa, bool flip) {
  const int code = csa_piece_kind(csa + 4);
  const std::int8_t to = csa_square(flip_file(csa[2], flip), csa[3]);
  if (code == 16 || to < 0 || (p.board[to] & side_bit(p))) return false;
  const int side = p.side_to_move == 0 ? 0 : 8;
  if (csa[0] == '0' && csa[1] == '0') {
    const bool droppable = !(code & kPromoted) && (code & kKindMask) != 7;
    return droppable && p.board[to] == 0 && p.hands[code + side] > 0;
  }
  const std::int8_t from = csa_square(flip_file(csa[0], flip), csa[1]);
  if (from < 0 || from == to || !(p.board[from] & side_bit(p))) return false;
  const int moved = p.board[from] & 0x0F;
  return code == moved || (code == (moved | kPromoted) && can_promote(p.board[from]));
}

int csa_to_usi_move(Position& p, char* csa, bool apply, bool flip, char out[6]) {
  int kind = csa_piece_kind(csa + 4);
  if (kind == 16) kind = 0;  // not a piece: read as a pawn
  std::uint8_t code = static_cast<std::uint8_t>(kind | side_bit(p));
  const char to_file = flip_file(csa[2], flip);
  csa[2] = to_file;
  const std::int8_t to = csa_square(to_file, csa[3]);
  std::int8_t from;
  int length = 4;
  if (csa[0] == '0') {
    from = kDrop;
    out[0] = sfen_piece_letters[code & 0x0F];
    out[1] = '*';
  } else {
    const char from_file = flip_file(csa[0], flip);
    csa[0] = from_file;
    from = csa_square(from_file, csa[1]);
    if ((code & kPromoted) && from >= 0 && !(p.board[from] & kPromoted)) code |= kPromotionMark;
    out[0] = is_file(from_file) ? from_file : '0';
    out[1] = rank_letter(csa[1]);
  }
  out[2] = is_file(to_file) ? to_file : '0';
  out[3] = rank_letter(csa[3]);
  if (code & kPromotionMark) out[length++] = '+';
  out[length] = '\0';
  if (apply) apply_move(p, from, to, code);
  return length;
}
