#include "front/usi_commands.h"

#include "common/messages.h"
#include "front/new_game.h"
#include "front/option_commands.h"
#include "front/position_command.h"
#include "front/search_commands.h"

UsiAction dispatch_usi_line(State& s, UsiLine& line, std::uint32_t now) {
  if (asks_search(line.text)) {
    const EngineFree free = engine_free_for_search(s, now);
    if (free == EngineFree::kWait) return UsiAction::kWaitForEngine;
    if (free == EngineFree::kStartAgain) return UsiAction::kStartAgain;
  }
  // The order keeps commands that share a beginning apart: "usinewgame" before "usi",
  // "go mate", "go ponder" and "go infinite" before "go".
  if (match_usi(line, "usinewgame")) {
    handle_usinewgame(s);
  } else if (match_usi(line, "setoption name")) {
    handle_setoption(s, line);
  } else if (match_usi(line, "isready")) {
    if (!s.engine.running) return UsiAction::kStartEngine;
    if (s.game.searches.phase == SearchPhase::kOverdue) return UsiAction::kStartAgain;
    outbox_gui(s.out, {"readyok"});
  } else if (match_usi(line, "usi")) {
    handle_usi(s);
  } else if (match_usi(line, "position")) {
    handle_position(s, line);
  } else if (match_usi(line, "go mate")) {
    outbox_gui(s.out, {"checkmate notimplemented"});
  } else if (match_usi(line, "go ponder")) {
  } else if (match_usi(line, "go infinite")) {
    handle_go_infinite(s);
  } else if (match_usi(line, "go")) {
    handle_go(s, line);
  } else if (match_usi(line, "stop")) {
    handle_stop(s);
  } else if (match_usi(line, "ponderhit")) {
  } else if (match_usi(line, "quit")) {
    return UsiAction::kQuit;
  } else if (match_usi(line, "gameover")) {
    leave_search(s);
  } else {
    outbox_gui(s.out, {line.text, "usi", message(kMsgUnexpectedCommand)});
  }
  return UsiAction::kDone;
}
