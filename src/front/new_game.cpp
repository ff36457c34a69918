#include "front/new_game.h"

#include "common/trace.h"
#include "front/search_commands.h"

namespace {

void send_with(State& s, std::string_view head, OptionId id) {
  std::string command(head);
  command.append(option_value(s.options, id));
  send_command(s, command);
}

// The settings "usinewgame" sends before the game's book.
void send_settings(State& s) {
  const OptionValues& o = s.options;
  if (s.engine.version != 1) {
    if (s.engine.version == 0) send_with(s, "tlp num ", kThreads);
    send_command(s, option_on(o, kTimeExtendable) ? "limit time extendable" : "limit time strict");
    send_with(s, "resign ", kResign);
    send_command(s, option_on(o, kUsiPonder) ? "ponder on" : "ponder off");
    send_command(s, option_on(o, kBookNarrow) ? "book narrow" : "book wide");
  }
  switch (parse_option_value(option_value(o, kTimeControl))) {
    case 0:
      s.game.time_limit_sent = false;
      break;
    case 1:
      send_with(s, "limit nodes ", kNodes);
      s.game.time_limit_sent = true;
      break;
    case 2:
      send_with(s, "limit depth ", kDepth);
      s.game.time_limit_sent = true;
      break;
    default:
      break;
  }
}

void send_book_and_command(State& s) {
  send_command(s, s.game.book == Book::kOff ? "book off" : "book on");
  if (!option_text(s.options, kCommand).empty()) send_command(s, option_text(s.options, kCommand));
}

}  // namespace

void handle_usinewgame(State& s) {
  leave_search(s);  // a search of the last game's ends unseen
  send_settings(s);
  s.game.book_limit = parse_option_value(option_value(s.options, kBookNum));
  s.game.book = s.game.book_limit == 0 ? Book::kOff : Book::kOn;
  send_book_and_command(s);
  s.game.last_bestmove.clear();
}

void settings_again(State& s) {
  send_settings(s);
  const bool off = s.game.book == Book::kOff || s.game.book == Book::kAnalysisOff;
  s.game.book = off ? Book::kOff : Book::kOn;
  send_book_and_command(s);
  s.game.engine_behind = true;
  search_abandoned(s.game.searches);
}
