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

namespace {

// The GUI's input, read ahead by a thread of its own and handed to the command loop through
// a pipe: it sees "quit" and the end of the input even while the loop waits (on a GUI that
// has stopped reading, on an engine's banner), so that orv then still ends, its engine
// first, within the engine's grace and a second.
void read_gui_ahead(Adapter& a, platform::Handle to_loop) {
  char buffer[kReadSize];
  bool line_start = true;
  std::string head;  // the beginning of the line being read
  bool ending = false;
  for (;;) {
    const long n = platform::read_stdin(buffer, sizeof buffer);
    if (n <= 0) break;
    for (long i = 0; i < n && !ending; ++i) {
      if (line_start) head.clear();
      line_start = buffer[i] == '\n';
      if (!line_start && head.size() < 4) head.push_back(buffer[i]);
      ending = head == "quit";
      if (ending) end_process_within(a.link, 0, kEngineEndGraceMs + kLastWritesMs);
    }
    if (platform::write_pipe(to_loop, buffer, static_cast<std::size_t>(n)) != n) break;
  }
  if (!ending) end_process_within(a.link, 0, kEngineEndGraceMs + kLastWritesMs);
  platform::close_handle(to_loop);
}

// Reading ahead needs a pipe; without one the loop reads the GUI itself.
void read_gui_input(Adapter& a) {
  platform::Handle from_reader, to_loop;
  if (!platform::make_pipe(from_reader, to_loop)) {
    a.gui_input.read = [](platform::Handle, char* buffer, std::size_t size) {
      return platform::read_stdin(buffer, size);
    };
    return;
  }
  a.gui_input.source = from_reader;
  std::thread([&a, to_loop] {
    read_gui_ahead(a, to_loop);
    for (;;) platform::sleep_ms(24 * 3600 * 1000);  // ended threads hold up orv's end under Wine
  }).detach();
}

}  // namespace

int run_adapter(Adapter& a, const char* argv0) {
  int failed = start_up(a, argv0);
  if (failed != 0) return failed;
  read_gui_input(a);
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
