#include "front/position_command.h"

#include <cstdio>
#include <cstring>

#include "common/trace.h"
#include "engine/line_reader.h"
#include "front/search_commands.h"
#include "notation/moves.h"
#include "notation/position_file.h"

namespace {

constexpr std::size_t kMaxStoredPosition = kLineBufferSize - 1;
constexpr std::size_t kRecordSize = 7;  // six CSA characters and a line feed

// At most limit bytes of the file; false when it cannot be opened.
bool read_start_of(const std::string& path, std::size_t limit, std::string& text) {
  text.clear();
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  text.resize(limit);
  text.resize(std::fread(&text[0], 1, limit, file));
  std::fclose(file);
  return true;
}

bool write_whole(const std::string& path, const char* mode, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), mode);
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

void cannot_write(Outbox& out, const std::string& path) {
  outbox_gui(out, {"info string ", path, " cannot be written"});
}

// The same argument again: the engine is to avoid the move it played here last time.
void remember_position(State& a, std::string_view argument, const PositionFiles& files) {
  Outbox& out = a.out;
  std::string stored;
  // One byte more than any argument, so a longer file never equals one.
  read_start_of(files.stored_position, kMaxStoredPosition + 1, stored);

  // Only a whole record counts: a missing or short file never appends stale bytes.
  std::string record;
  read_start_of(files.last_move, kRecordSize, record);
  const bool have_record = record.size() == kRecordSize;
  std::memset(a.game.last_move_record, 0, sizeof a.game.last_move_record);
  if (have_record) std::memcpy(a.game.last_move_record, record.data(), kRecordSize);

  if (stored == argument) {
    if (have_record && !write_whole(files.restraint, "ab", record)) {
      cannot_write(out, files.restraint);
    }
    a.game.restraint_active = true;
  } else {
    std::remove(files.restraint.c_str());
  }
  if (!write_whole(files.stored_position, "wb", argument)) cannot_write(out, files.stored_position);
}

// The whole position, given as SFEN text and moves, through the position file.
void reload_position(State& a, const UsiLine& line, std::string_view text,
                     const PositionFiles& files) {
  Outbox& out = a.out;
  a.game.pondering = false;
  a.game.position_argument.assign(rest_of(line));
  // The board is this position now, without the engine's last move on it: a later position
  // that adds that move and one more is no single new move on this board.
  a.game.last_bestmove.clear();
  // A file that cannot be written is told at the search, which it then cannot start.
  std::string report;
  a.game.engine_behind = !write_position_file(
      a.position, text, option_on(a.options, kFlipHorizontal), report, files.position);
  for (std::size_t at = 0, end; (end = report.find('\n', at)) != std::string::npos; at = end + 1) {
    outbox_gui(out, {std::string_view(report).substr(at, end - at)});
  }
  if (!a.game.engine_behind) send_command(a, "read orv.csa");
}

}  // namespace

bool is_single_new_move(std::string_view argument, std::string_view previous,
                        std::string_view last_bestmove) {
  const std::size_t l = previous.size(), n = last_bestmove.size();
  if (l == 0 || n == 0) return false;
  if (argument.size() < l + n) return false;
  if (argument.substr(0, l - 1) != previous.substr(0, l - 1)) return false;
  if (argument.substr(l, n) != last_bestmove) return false;
  const std::size_t remainder = argument.size() - (l + n);
  return remainder == 6 || remainder == 7;
}

void handle_position(State& a, UsiLine& line) {
  Outbox& out = a.out;
  const PositionFiles& files = a.files;
  const std::string_view argument = rest_of(line);
  std::string text;
  if (!position_text_of(argument, text)) {
    // No position given: the GUI sees its own line, then an empty one, and nothing changes;
    // a search under way goes on.
    outbox_gui(out, {line.text});
    return;
  }
  a.game.pending_move.clear();
  // An engine behind the GUI, or still busy with a search (it will play its move in its own
  // game before it reads further), needs the whole position, whatever came before.
  Searches& searches = a.game.searches;
  const bool single = !a.game.engine_behind && !engine_owes(searches) &&
                      is_single_new_move(argument, a.prev_position, a.game.last_bestmove);
  // The answer of a search the GUI stopped is still shown, read on the board it searched; that
  // of a search left is read there too, to know whether it is a move there at all. (A repeat
  // taken for the answer has been played on the board.)
  if (engine_owes(searches) && searches.phase != SearchPhase::kTaken &&
      searches.searched == searches.serial) {
    a.searched_position = a.position;
  }
  leave_search(a);
  position_given(searches);
  const std::size_t move_at = a.prev_position.size() + a.game.last_bestmove.size() + 1;
  a.game.restraint_active = false;
  if (option_on(a.options, kAnotherHand)) remember_position(a, argument, files);
  a.prev_position.assign(argument);

  if (single && !a.game.restraint_active) {
    CsaMove move;
    usi_to_csa_move(a.position, argument.substr(move_at), true,
                    option_on(a.options, kFlipHorizontal), move);
    a.game.pending_move = move.text;
    a.game.position_argument.assign(argument);
  } else {
    reload_position(a, line, text, files);
  }
  Book& book = a.game.book;
  if ((book == Book::kOn || book == Book::kAnalysis) &&
      a.position.move_number >= a.game.book_limit) {
    send_command(a, "book off");
    book = book == Book::kOn ? Book::kOff : Book::kAnalysisOff;
  }
}
