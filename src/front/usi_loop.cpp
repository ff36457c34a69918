#include "front/usi_loop.h"

#include <functional>
#include <thread>

#include "common/messages.h"
#include "engine/gui_writer.h"
#include "front/new_game.h"
#include "front/option_commands.h"
#include "front/position_command.h"
#include "front/search_commands.h"
#include "front/startup.h"
#include "platform/platform.h"

namespace {

LoopAction quit(Adapter& a) {
  a.quitting.store(true);
  close_engine(a.link, a.engine);
  return LoopAction::kExitOk;
}

void unrecognised(const UsiLine& line, Outbox& out) {
  outbox_gui(out, {line.text, "usi", message(kMsgUnexpectedCommand)});
}

}  // namespace

LoopAction dispatch_usi_line(Adapter& a, UsiLine& line, Outbox& out) {
  // The order keeps commands that share a beginning apart: "usinewgame" before "usi",
  // "go mate", "go ponder" and "go infinite" before "go".
  if (match_usi(line, "usinewgame")) {
    handle_usinewgame(a, out);
  } else if (match_usi(line, "setoption name")) {
    handle_setoption(a, line, out);
  } else if (match_usi(line, "isready")) {
    if (!handle_isready(a, out)) return LoopAction::kExitFailed;
  } else if (match_usi(line, "usi")) {
    handle_usi(a, out);
  } else if (match_usi(line, "position")) {
    handle_position(a, line, out);
  } else if (match_usi(line, "go mate")) {
    outbox_gui(out, {"checkmate notimplemented"});
  } else if (match_usi(line, "go ponder")) {
  } else if (match_usi(line, "go infinite")) {
    handle_go_infinite(a, out);
  } else if (match_usi(line, "go")) {
    handle_go(a, line, out);
  } else if (match_usi(line, "stop")) {
    handle_stop(a, out);
  } else if (match_usi(line, "ponderhit")) {
  } else if (match_usi(line, "quit")) {
    return quit(a);
  } else if (match_usi(line, "gameover")) {
    handle_gameover(a, out);
  } else {
    unrecognised(line, out);
  }
  return LoopAction::kContinue;
}

LoopAction compose_gui_line(Adapter& a, std::string_view text, bool terminated) {
  a.usi_line.assign(text);
  if (terminated) a.usi_line.push_back('\n');
  UsiLine line{a.usi_line, 0};
  std::unique_lock<std::mutex> hold(a.state_lock);
  if (asks_search(a.usi_line)) make_engine_free(a, hold);
  const LoopAction action = dispatch_usi_line(a, line, a.out);
  take_engine_turn(a.out, a.link);
  return action;
}

int run_usi_loop(Adapter& a) {
  a.usi_line.reserve(kLineBufferSize);
  for (;;) {
    LineRead read = read_line(a.gui_input);
    if (!read.ok) {
      a.input_ended = true;
      return 0;
    }
    const LoopAction action = compose_gui_line(a, read.text, read.terminated);
    // A failed start: what the engine said before it ended comes before the message.
    if (action == LoopAction::kExitFailed) finish_error_relay(a.threads);
    deliver(a.out, a.link);
    if (action == LoopAction::kExitOk) return 0;
    if (action == LoopAction::kExitFailed) return 1;
  }
}

int run_adapter(Adapter& a, const char* argv0) {
  int failed = start_up(a, argv0);
  if (failed != 0) return failed;
  a.gui_input.read = [](platform::Handle, char* buffer, std::size_t size) {
    return platform::read_stdin(buffer, size);
  };
  std::thread(watch_unanswered_stops, std::ref(a)).detach();  // lives as long as orv
  const int code = run_usi_loop(a);
  // The engine never outlives orv: given a moment to end by itself after "quit" or the end
  // of the GUI's input, at once after a failure.
  a.quitting.store(true);
  const unsigned grace = code == 0 ? kEngineEndGraceMs : 0;
  end_process_within(a.link, code, grace + kLastWritesMs);
  {
    std::lock_guard<std::mutex> hold(a.state_lock);
    close_engine(a.link, a.engine);
  }
  end_engine(a.link, grace);
  if (a.input_ended) write_gui("fgets" + std::string(message(kMsgReadError)) + "\n");
  return code;
}
