#include "front/new_game.h"

#include "front/search_commands.h"
#include "front/startup.h"
#include "platform/platform.h"

namespace {

void send_with(Adapter& a, Outbox& out, std::string_view head, OptionId id) {
  std::string command(head);
  command.append(option_value(a.options, id));
  send_command(a, out, command);
}

}  // namespace

void handle_usinewgame(Adapter& a, Outbox& out) {
  const OptionValues& o = a.options;
  leave_search(a, out);  // a search of the last game's ends unseen
  if (!a.engine.is_v1) {
    if (!a.engine.is_v2 && !a.engine.is_v3) send_with(a, out, "tlp num ", kThreads);
    send_command(a, out,
                 option_on(o, kTimeExtendable) ? "limit time extendable" : "limit time strict");
    send_with(a, out, "resign ", kResign);
    send_command(a, out, option_on(o, kUsiPonder) ? "ponder on" : "ponder off");
    send_command(a, out, option_on(o, kBookNarrow) ? "book narrow" : "book wide");
  }
  switch (parse_option_value(option_value(o, kTimeControl))) {
    case 0:
      a.game.time_limit_sent = false;
      break;
    case 1:
      send_with(a, out, "limit nodes ", kNodes);
      a.game.time_limit_sent = true;
      break;
    case 2:
      send_with(a, out, "limit depth ", kDepth);
      a.game.time_limit_sent = true;
      break;
    default:
      break;
  }
  a.game.book_limit = parse_option_value(option_value(o, kBookNum));
  a.game.book_disabled = a.game.book_limit == 0;
  a.game.book_reopened = false;
  send_command(a, out, a.game.book_disabled ? "book off" : "book on");
  if (!option_text(o, kCommand).empty()) send_command(a, out, option_text(o, kCommand));
  a.game.last_bestmove.clear();
}

bool handle_isready(Adapter& a, Outbox& out) {
  if (!a.engine.running) {
    std::string name;
    if (!launch_adapter_engine(a, name)) {
      // The GUI only sees its engine gone: the player is told why.
      outbox_gui(out, {"info string engine ", a.link.engine_file, " cannot be started"});
      return false;
    }
    if (name != a.engine_name) {
      a.engine_name = name;
      platform::ini_write(a.ini_path, "Molvara", "Name", a.engine_name);
    }
  }
  outbox_gui(out, {"readyok"});
  return true;
}
