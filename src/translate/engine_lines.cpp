#include "translate/engine_lines.h"

#include <cstdio>
#include <cstring>

#include "common/messages.h"
#include "common/trace.h"
#include "engine/engine_text.h"
#include "notation/legal_move.h"
#include "notation/moves.h"
#include "notation/position_file.h"
#include "translate/csa_text.h"

bool match_engine(std::string_view line, std::size_t& cursor, std::string_view literal) {
  if (line.substr(cursor, literal.size()) != literal) return false;
  cursor += literal.size();
  return true;
}

namespace {

// How soon after the engine's move line the same line again counts as a copy of it.
constexpr std::uint32_t kCopyWithinMs = 500;

// The position file written anew from the GUI's last position: after a single new move it
// still holds the position before that move. False (reported) when it cannot be written.
bool rewrite_position_file(State& s) {
  if (s.game.position_argument.empty()) return true;  // no position yet
  if (write_position_file_again(s.position, s.game.position_argument,
                                option_on(s.options, kFlipHorizontal), s.files.position)) {
    return true;
  }
  outbox_gui(s.out, {"info string ", s.files.position, " cannot be written"});
  return false;
}

// During "go infinite" with InfBook, a move straight after a candidate list came from the
// book: the engine is made to search with its book off instead. Where the position cannot
// be written for it, the book move is reported.
bool restart_without_book(State& s, std::uint32_t now) {
  if (!s.game.info_seen || !analysing(s.game.searches) || !option_on(s.options, kInfBook)) {
    return false;
  }
  if (!rewrite_position_file(s)) return false;
  send_command(s, "read orv.csa");
  s.game.search_start_tick = now;
  send_command(s, "book off");
  send_command(s, s.engine.version == 1 ? "limit time 86400" : "limit time 0 86400");
  send_command(s, "move");
  s.game.last_move_searched_again = true;
  return true;
}

// An answer that is no move here may be a line the engine wrote for an earlier search (a copy
// of its move, say) while it still searches this one: it is told to stop, and its real answer
// is awaited before it is asked anything else, so one such line costs no later search. Its
// board is not the GUI's any more either way: the next search loads the position whole.
void doubt_answer(State& s, std::uint32_t now) {
  s.game.engine_behind = true;
  search_doubted(s.game.searches, now);
  send_command(s, "s");
}

// The board copy keeps a promotion's mark where the GUI's move promoted a piece; a board read
// from a position whole does not.
bool same_position(const Position& a, const Position& b) {
  for (int square = 0; square < 81; ++square) {
    if ((a.board[square] ^ b.board[square]) & ~kPromotionMark) return false;
  }
  return a.side_to_move == b.side_to_move && std::memcmp(a.hands, b.hands, sizeof a.hands) == 0;
}

enum class Repeat { kNo, kBookMove, kCopy, kCopyHere };

// A move line that repeats the engine's last line at once is most likely a copy of it, written
// for the search before: engines that write their move twice write it so. Of the same position
// it may as well be the answer; its own answer, should one follow, is the one taken all the
// same, or it would answer the next search. The line is remembered, with the board searched.
Repeat repeats_last_move(State& s, std::string_view line, const Position& board,
                         std::uint32_t now) {
  GameState& g = s.game;
  const bool same = line == g.last_move_line && now - g.last_move_tick <= kCopyWithinMs;
  const bool same_board = same && same_position(board, g.last_move_board);
  if (!same) g.last_move_searched_again = false;
  g.last_move_line.assign(line);
  g.last_move_tick = now;
  g.last_move_board = board;
  if (same && g.last_move_searched_again) return Repeat::kBookMove;
  if (!same) return Repeat::kNo;
  return same_board ? Repeat::kCopyHere : Repeat::kCopy;
}

// A copy answers nothing owed: the engine, still at that search, is told to stop (unless it
// was), and its own answer is awaited and shown as any answer. The same move of the same
// position is not called a copy: it is most often the answer.
void copy_awaits_answer(State& s, std::string_view line, Repeat repeat, std::uint32_t now) {
  if (repeat == Repeat::kCopy) outbox_gui(s.out, {"info string engine answer came twice: ", line});
  if (answer_shown(s.game.searches) && search_copied(s.game.searches, now)) {
    send_command(s, "s");
  }
}

void write_last_move_file(State& s) {
  FILE* file = std::fopen(s.files.last_move.c_str(), "wb");
  bool ok = file && std::fwrite(s.game.last_move_record, 1, 7, file) == 7;
  if (file) ok = std::fclose(file) == 0 && ok;
  // The repeated-position memory would append a stale move: the user must know.
  if (!ok) outbox_gui(s.out, {"info string lastmove.dat cannot be written"});
}

}  // namespace

void answer_search(State& s, const SearchEnd& end, std::string_view move) {
  if (end.held) {
    s.game.searches.held.assign(move);
    return;
  }
  outbox_gui(s.out, {"bestmove ", move});
}

bool answer_unused(State& s, const SearchEnd& end, std::string_view line) {
  if (end.asked && end.shown) return false;
  // The engine has played it on its own board all the same.
  s.game.engine_behind = true;
  if (!end.asked) outbox_gui(s.out, {"info string engine answer with no search asked: ", line});
  if (end.late) outbox_gui(s.out, {"info string engine answer came too late: ", line});
  return true;
}

namespace {

// The board the search owed was of: the board copy, or, once the GUI has sent another
// position, the search's own copy, which the move does not outlive.
Position& searched_board(State& s, Position& own) {
  const Searches& searches = s.game.searches;
  if (searches.searched == searches.serial) return s.position;
  own = s.searched_position;
  return own;
}

void answer_move(State& s, std::string_view line, Position& board, std::uint32_t now) {
  const std::string_view rest = line.substr(4);  // after "move"
  char csa[6];
  copy_csa_move(rest, csa);
  const bool flip = option_on(s.options, kFlipHorizontal);
  const bool readable = csa_move_is_readable(board, csa, flip);
  const bool legal = readable && csa_move_is_legal(board, csa, flip);
  const SearchPhase was = s.game.searches.phase;
  const SearchEnd end = search_answered(s.game.searches);
  // A search the GUI left, or none: the move is neither shown nor played. No move there may
  // be a line written for an earlier search: the engine's own answer is still to come.
  if (answer_unused(s, end, line)) {
    if (end.asked && !legal) search_owed_still(s.game.searches, was, now);
    return;
  }
  if (!end.current) s.game.engine_behind = true;
  // A GUI cannot use a bestmove made of what is no move here: the search ends in a resign.
  // Nor one its rules forbid: the GUI would forfeit the game.
  if (!legal) {
    outbox_gui(s.out, {"info string engine move ", rest,
                       readable ? " is not legal here" : " cannot be read"});
    answer_search(s, end, "resign");
    doubt_answer(s, now);
    return;
  }
  std::memcpy(s.game.last_move_record, csa, 6);
  s.game.last_move_record[6] = '\n';
  s.game.last_move_record[7] = '\0';
  if (option_on(s.options, kAnotherHand)) write_last_move_file(s);
  char usi[6];
  csa_to_usi_move(board, csa, true, flip, usi);
  // The GUI continues a game from its own position, not from a board it has replaced.
  if (end.current) {
    s.game.last_bestmove = usi;
  } else {
    s.game.last_bestmove.clear();
  }
  outbox_gui(s.out, {"info currmove ", usi});
  answer_search(s, end, usi);
}

}  // namespace

bool repeat_answered(State& s, std::uint32_t now) {
  if (s.game.searches.phase != SearchPhase::kCopied || s.game.last_move_line.empty()) {
    return false;
  }
  const std::string line = s.game.last_move_line;
  Position own;
  Position& board = searched_board(s, own);
  char csa[6];
  copy_csa_move(std::string_view(line).substr(4), csa);
  if (!csa_move_is_legal(board, csa, option_on(s.options, kFlipHorizontal))) return false;
  answer_move(s, line, board, now);
  search_taken(s.game.searches);
  return true;
}

void handle_move_line(State& s, std::string_view line, std::uint32_t now) {
  Position own;
  Position& board = searched_board(s, own);
  const Repeat repeat = repeats_last_move(s, line, board, now);
  // The book's move again, written before the engine read that it is to search on: the
  // search asked again is still owed. Once the GUI has stopped it, the same move may as well
  // be its answer, come before any report: it is taken as a copy is, unless another follows.
  if (repeat == Repeat::kBookMove && s.game.searches.phase != SearchPhase::kStopped) {
    return outbox_gui(s.out, {"info string engine answer with no search asked: ", line});
  }
  if (restart_without_book(s, now)) return;
  if (repeat != Repeat::kNo && engine_owes(s.game.searches)) {
    return copy_awaits_answer(s, line, repeat, now);
  }
  answer_move(s, line, board, now);
}

void handle_resign_line(State& s, std::string_view line) {
  const SearchEnd end = search_answered(s.game.searches);
  if (answer_unused(s, end, line)) return;
  outbox_gui(s.out, {"info currmove resign"});
  answer_search(s, end, "resign");
}

void handle_statistics_line(State& s, std::string_view rest) {
  const std::int32_t hash = parse_option_value(rest);
  s.game.info_seen = false;
  const std::size_t first = rest.find('=');
  if (first == std::string_view::npos) return outbox_gui(s.out, {"stat"});
  const std::size_t second = rest.find('=', first + 1);
  if (second == std::string_view::npos) return outbox_gui(s.out, {"stat2"});
  const std::int32_t speed = parse_option_value(rest.substr(second + 1));
  // Products in 32 bits, wrapping as the engine's counters would.
  const auto times_ten = [](std::int32_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) * 10u);
  };
  outbox_gui_format(s.out, "info nps %d hashfull %d", times_ten(speed), times_ten(hash));
}

namespace {

// Text that begins as a GUI reads its engine's answers would pass for one (a bestmove of no
// move, a readyok nobody asked for): it goes as an info string.
bool reads_as_answer(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t");  // a GUI reads past blanks
  if (start == std::string_view::npos) return false;
  text.remove_prefix(start);
  for (std::string_view word : {"bestmove", "readyok", "usiok", "id", "option", "info", "checkmate",
                                "copyprotection", "registration"}) {
    if (text.substr(0, word.size()) == word) return true;
  }
  return false;
}

void echo_engine_text(State& s, std::string_view text) {
  outbox_gui(s.out, {reads_as_answer(text) ? "info string " : "", text, "molv",
                     message(kMsgUnexpectedCommand)});
}

}  // namespace

bool translate_engine_line(State& s, std::string_view line, std::uint32_t now) {
  std::size_t cursor = 0;
  trace_line(s, kReceivedFromEngine, line);
  if (line.substr(0, 4) != "move") s.game.last_move_line.clear();  // no copy follows a line
  // Literals that share a beginning are tried longest first: "info ponder start" before
  // "info ", and "info " (candidates) before "info" (a score).
  if (match_engine(line, cursor, "move")) {
    handle_move_line(s, line, now);
  } else if (match_engine(line, cursor, "info ponder start")) {
    s.game.pondering = true;
  } else if (match_engine(line, cursor, "info ponder end")) {
    s.game.pondering = false;
  } else if (match_engine(line, cursor, "info tt ")) {
  } else if (match_engine(line, cursor, "info ")) {
    handle_candidate_line(s, line.substr(cursor));
  } else if (match_engine(line, cursor, "info")) {
    handle_score_line(s, line.substr(cursor), now);
  } else if (match_engine(line, cursor, "statsatu=")) {
    handle_statistics_line(s, line.substr(cursor));
  } else if (match_engine(line, cursor, "resign")) {
    handle_resign_line(s, line);
  } else if (match_engine(line, cursor, "pong")) {
  } else {
    echo_engine_text(s, line);
    return true;
  }
  return false;
}

void translate_engine_piece(State& s, std::string_view piece, bool ends_line, std::uint32_t now) {
  EngineLinePieces& p = s.pieces;
  const bool starts_line = !p.in_long_line;
  p.in_long_line = !ends_line;
  if (starts_line) p.echo_rest = false;
  const std::string_view text = clean_engine_text(piece, starts_line, ends_line, p.cleaned);
  if (text.empty()) return;  // no line at all
  if (starts_line) {
    p.echo_rest = translate_engine_line(s, text, now);
    return;
  }
  trace_line(s, kReceivedFromEngine, text);
  if (p.echo_rest) echo_engine_text(s, text);
}
