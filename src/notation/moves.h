// Single moves: playing one on the board copy, and converting between the GUI's USI moves
// and the engine's CSA moves. The board stays in the GUI's orientation; with flip on only
// the CSA file digits exchanged with the engine are mirrored.
#pragma once

#include <cstdint>
#include <string_view>

#include "notation/position.h"

// PieceCode bits.
constexpr std::uint8_t kKindMask = 0x07;  // 0 pawn .. 7 king
constexpr std::uint8_t kPromoted = 0x08;
constexpr std::uint8_t kBlackPiece = 0x10;
constexpr std::uint8_t kWhitePiece = 0x20;
constexpr std::uint8_t kPromotionMark = 0x40;  // set in a move's code when it promotes

// Two letters per PieceCode & 0x0F; "__" where no piece exists.
extern const char csa_piece_codes[33];
// One letter per kind + 8 * side: upper case black, lower case white.
extern const char sfen_piece_letters[17];

// The piece kind (PieceCode & 0x0F) of a two-letter CSA code; 16 for no known piece.
int csa_piece_kind(const char* code);

// A CSA move without its sign: from-file, from-rank, to-file, to-rank ("00" for a drop),
// two letters of the piece after the move, and a terminating zero.
struct CsaMove {
  char text[7];
};

constexpr std::int8_t kDrop = -1;
constexpr std::int8_t kNoSquare = -2;  // a malformed square

// 9 * (rank - 1) + (9 - file) for a file digit and a rank letter "a".."i" (USI) or a rank
// digit (CSA); kNoSquare when either is out of range.
std::int8_t usi_square(char file, char rank_letter);
std::int8_t csa_square(char file, char rank_digit);

// "1" <-> "9", "2" <-> "8", ... when flip is on; anything but a file digit stays as it is.
char flip_file(char c, bool flip);

// Plays a move: a drop takes the piece from the mover's hand, a capture adds the captured
// kind, unpromoted, to it; the code lands on the destination as given. The side to move
// toggles and the move count grows. A move with a malformed square changes neither board
// nor hands, but still counts as a move, so the sides of later moves stay in step.
void apply_move(Position& position, std::int8_t from, std::int8_t to, std::uint8_t code);

// The GUI's move (at least the characters it has; a missing character reads as the end of
// the text) as a CSA move. Returns the characters the USI move takes up: 5 for a promoting
// move ("+"), else 4. Malformed squares give "0" digits; a drop letter other than
// P, L, N, S, G, B, R drops a king. A move from an empty square is written "FU"
// and changes no square; a "+" on a gold or a king does not promote it.
int usi_to_csa_move(Position& position, std::string_view usi, bool apply, bool flip, CsaMove& out);

// True when the engine's move (six characters, without sign) is a move on the board for the
// side to move: squares 1-9 ("00" before a drop), two different squares, a known piece code
// that is the moving piece's own or its promoted form, the mover's piece on the from-square
// and none on the destination; a drop of an unpromoted piece held in hand, onto an empty
// square. File digits are mirrored first when flip is on.
bool csa_move_is_readable(const Position& position, const char* csa, bool flip);

// The engine's move (six characters, without sign) as a USI move in out, judged against
// the board: "+" when the code is promoted and the piece on the from-square is not. The
// colour comes from the side to move. With flip on the file digits of csa are mirrored in
// place. Returns the length written, 4 or 5. An unknown piece code ("__" included) reads
// as "FU";
// malformed squares give "0" characters.
int csa_to_usi_move(Position& position, char* csa, bool apply, bool flip, char out[6]);
