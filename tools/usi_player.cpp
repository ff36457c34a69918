#include "tools/usi_player.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>

namespace {

constexpr std::size_t kRecentLines = 80;

// A variable of the environment the programs this process starts next inherit (the
// stand-in's quirks); empty removes it.
void set_variable(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  if (value.empty()) {
    unsetenv(name);
  } else {
    setenv(name, value.c_str(), 1);
  }
#endif
}

void read_lines(Player& p) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    long n = platform::read_pipe(p.child.from_out, buffer, sizeof buffer);
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t lf;
    while ((lf = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, lf);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pending.erase(0, lf + 1);
      std::lock_guard<std::mutex> hold(p.lock);
      p.lines.push_back(line);
      p.arrived.notify_all();
    }
  }
  std::lock_guard<std::mutex> hold(p.lock);
  p.ended = true;
  p.arrived.notify_all();
}

// A check option's value as the adapter reads it: anything but "false", "0" or nothing.
bool is_on(const std::string& value) {
  return value != "false" && value != "0" && !value.empty();
}

// An adapter that does not answer is left to itself: its reader may never see the end.
bool give_up(Player& p) {
  p.reader.detach();
  return false;
}

}  // namespace

void Player::send(const std::string& line) {
  {
    std::lock_guard<std::mutex> hold(lock);
    recent.push_back("> " + line);
    if (recent.size() > kRecentLines) recent.pop_front();
  }
  std::string text = line + "\n";
  platform::write_pipe(child.to_engine, text.data(), text.size());
}

bool Player::next(std::string& line, int timeout_ms) {
  std::unique_lock<std::mutex> hold(lock);
  arrived.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                   [&] { return !lines.empty() || ended; });
  if (lines.empty()) return false;
  line = lines.front();
  lines.pop_front();
  recent.push_back("< " + line);
  if (recent.size() > kRecentLines) recent.pop_front();
  return true;
}

std::string Player::dialogue() {
  std::lock_guard<std::mutex> hold(lock);
  std::string text;
  for (const std::string& line : recent) text += "  " + line + "\n";
  return text;
}

bool Player::gone() {
  std::lock_guard<std::mutex> hold(lock);
  return ended && lines.empty();
}

bool Player::wait_for(const std::string& wanted, int timeout_ms) {
  std::string line;
  while (next(line, timeout_ms)) {
    if (line == wanted) return true;
  }
  return false;
}

bool start_player(Player& p, const std::string& folder, const PlayerSetup& setup) {
  // The adapter is started in its folder by its full path.
  p.folder = std::filesystem::absolute(std::filesystem::path(folder));
  p.log.path = p.folder / "quirks.log";
  platform::Path dir = p.folder.native();
  dir += platform::path_separator();
  // The engine the adapter starts inherits the adapter's environment.
  set_variable("MOLVARA_QUIRKS", setup.quirks ? std::to_string(setup.quirks) : "");
  set_variable("MOLVARA_STRAY", !setup.stray             ? ""
                                : setup.left_out.empty() ? "1"
                                                         : "-" + setup.left_out);
  const bool started = platform::start_child(dir, platform::to_path(setup.adapter), p.child);
  set_variable("MOLVARA_QUIRKS", "");
  set_variable("MOLVARA_STRAY", "");
  if (!started) return false;
  p.reader = std::thread(read_lines, std::ref(p));
  p.send("usi");
  // The adapter keeps its options from run to run: what it offers as default is in force.
  std::string line;
  bool ok = false;
  while (!ok && p.next(line, setup.stall_ms)) {
    ok = line == "usiok";
    const std::string flip = "option name FlipHorizontal type check default ";
    if (line.rfind(flip, 0) == 0) p.flipped = is_on(line.substr(flip.size()));
  }
  if (!ok) return give_up(p);
  for (const std::string& s : setup.settings) {
    const std::size_t eq = s.find('=');
    p.send("setoption name " + s.substr(0, eq) + " value " + s.substr(eq + 1));
    if (s.substr(0, eq) == "FlipHorizontal") p.flipped = is_on(s.substr(eq + 1));
  }
  if (setup.nodes > 0) {
    p.send("setoption name TimeControl value Nodes");
    p.send("setoption name Nodes value " + std::to_string(setup.nodes));
  }
  p.send("isready");
  if (!p.wait_for("readyok", setup.stall_ms)) return give_up(p);
  p.send("usinewgame");
  // No bestmove came before any search was asked, whatever the engine said.
  std::lock_guard<std::mutex> hold(p.lock);
  for (const std::string& line : p.recent) {
    if (line.rfind("< bestmove", 0) == 0) return give_up(p);
  }
  return true;
}

bool stop_player(Player& p) {
  p.send("quit");
  platform::close_handle(p.child.to_engine);
  if (p.reader.joinable()) p.reader.join();
  return platform::wait_child(p.child, 5000) == 0;
}
