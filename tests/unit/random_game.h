// Random games under the test's own rules of shogi (movement, promotion, drops, no second
// pawn on a file, no move into check), independent of the adapter's notation code.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "notation/position.h"

extern const std::string kKinds;  // "PLNSGBRK": the kind order of the CSA hand lines too
extern const char* kCsaBasic[8];
extern const char* kCsaPromoted[8];

struct Piece {
  int kind = -1;  // index into kKinds, -1 empty
  bool promoted = false;
  int side = 0;
};

struct Game {
  Piece sq[10][10];  // [file][rank], 1-based
  int hand[2][8] = {};
  int side = 0;
  bool operator==(const Game& o) const;
};

struct Move {
  int from_file, from_rank, to_file, to_rank;  // from_file 0: a drop of kind drop
  int drop;
  bool promote;
};

Game start_game();
void play(Game& g, const Move& m);
bool in_check(const Game& g, int side);
// Every move of the side to move that keeps the rules, in random order.
std::vector<Move> candidates(const Game& g);
// A random legal move, or false when there is none.
bool random_move(const Game& g, std::mt19937& random, Move& move);
std::string usi_of(const Move& m);
// The CSA move (without sign) as the engine would print it, files mirrored with flip.
std::string csa_of(const Game& before, const Move& m, bool flip);
std::string sfen_of(const Game& g, int move_count);
// The adapter's board copy in the test's terms, to compare with a game.
Game game_of(const Position& position);
