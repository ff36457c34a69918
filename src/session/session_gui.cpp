#include <string>

#include "front/usi_commands.h"
#include "session/session_parts.h"

namespace {

// GUI lines held beyond this: the GUI is not read on until they have had their turn.
constexpr std::size_t kHeldBytes = 1024 * 1024;
// A GUI sends "go" at once after "position", often in a write of its own: after a
// "position" with nothing behind it, the loop looks this many times before it sleeps, since
// a sleep between the two costs a wake-up on every move.
constexpr int kGoLooks = 16;

bool is_quit(std::string_view text) {
  return text.substr(0, 4) == "quit";
}

void hold(Session& s, std::string line, bool in_front) {
  s.held_bytes += line.size();
  if (in_front) {
    s.held.push_front(std::move(line));
  } else {
    s.held.push_back(std::move(line));
  }
}

// One GUI line, as read (its line feed kept), takes its turn now.
void take_turn(Session& s, std::uint32_t now) {
  UsiLine line{s.usi_line, 0};
  switch (dispatch_usi_line(s.state, line, now)) {
    case UsiAction::kDone:
      return;
    case UsiAction::kQuit:
      if (s.ending == Ending::kNone) end_asked(s, now);
      return end_now(s, now);
    case UsiAction::kStartEngine:
      hold(s, s.usi_line, true);  // answered once the engine has said its name
      if (!begin_engine(s, EngineStart::kAtIsready)) engine_gone(s, now);
      return;
    case UsiAction::kWaitForEngine:
      hold(s, s.usi_line, true);
      s.waiting = Waiting::kEngineFree;
      return;
    case UsiAction::kStartAgain:
      hold(s, s.usi_line, true);  // asked of the engine started afresh
      return start_engine_again(s, now);
  }
}

// The GUI reads, but far more slowly than orv answers it: its lines wait until it catches up.
bool gui_behind(const Session& s) {
  return gui_backlog_brimming(s.state.out) && !s.state.out.gui_stalled;
}

}  // namespace

bool gui_read_on(const Session& s) {
  return s.ending == Ending::kNone && !gui_behind(s) && s.held_bytes < kHeldBytes;
}

void read_gui(Session& s, std::uint32_t now) {
  read_from(s.gui, platform::kGuiIn);
  take_gui_lines(s, now);
  s.go_looks = s.usi_line.compare(0, 9, "position ") == 0 ? kGoLooks : 0;
}

void take_gui_lines(Session& s, std::uint32_t now) {
  for (LineRead line = take_line(s.gui); line.ok && s.ending == Ending::kNone;
       line = take_line(s.gui)) {
    s.usi_line.assign(line.text);
    if (line.terminated) s.usi_line.push_back('\n');
    if (s.waiting != Waiting::kNothing || !s.held.empty()) {
      // Its turn comes after what waits; "quit" ends orv within its bound all the same.
      if (is_quit(line.text)) end_asked(s, now);
      hold(s, s.usi_line, false);
    } else {
      take_turn(s, now);
    }
  }
  if (s.gui.ended && s.ending == Ending::kNone) {
    s.input_ended = true;
    end_asked(s, now);
  }
}

void resume_gui_lines(Session& s, std::uint32_t now) {
  if (s.waiting == Waiting::kEngineFree && !answer_awaited(s.state.game.searches)) {
    s.waiting = Waiting::kNothing;
  }
  while (s.waiting == Waiting::kNothing && !s.held.empty() && !gui_behind(s)) {
    s.usi_line = std::move(s.held.front());
    s.held.pop_front();
    s.held_bytes -= s.usi_line.size();
    take_turn(s, now);
  }
  if (s.waiting == Waiting::kNothing && s.held.empty() && s.ending == Ending::kAsked) {
    end_now(s, now);
  }
}
