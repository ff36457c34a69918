// The engine output thread's relay, read by read: the same engine output, however the
// engine's writes cut it into reads, gives the same GUI lines and engine commands, and
// everything a read completes is written before the engine is read again.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/gui_writer.h"
#include "front/usi_loop.h"
#include "notation/position_file.h"
#include "translate/engine_threads.h"

namespace {

// Score lines carry the time since the search began: it is left out of the comparison.
std::string without_times(std::string text) {
  for (std::size_t at = 0; (at = text.find("info time ", at)) != std::string::npos;) {
    at += 10;
    std::size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    text.replace(at, end - at, "T");
  }
  return text;
}

std::mutex gui_lock;
std::string gui;  // what the GUI has been written

void collect_gui(std::string_view lines) {
  std::lock_guard<std::mutex> hold(gui_lock);
  gui.append(lines);
}

// An adapter at the start of an analysis with InfBook on: a book move after candidates
// restarts the search, so the output thread also writes engine commands.
struct Relay {
  std::unique_ptr<Adapter> a = std::make_unique<Adapter>();
  EngineThreadContext& context = a->threads;
  EngineLink& link = a->link;
  EngineLineState state{
      a->position, a->searched_position, a->game, a->options, a->engine, a->files, {}, {}};

  Relay() {
    set_start_position(a->position);
    a->engine.running = true;
    set_option(a->options, kInfBook, "true");
    a->game.position_argument = "startpos\n";
    search_asked(a->game.searches, true);  // "go infinite"
    a->game.searches.analysis = true;
    a->files.position = ::testing::TempDir() + "orv_engine_output_orv.csa";
  }
};

// The engine: every kind of line, blank lines after moves, bare line feeds.
const std::vector<std::string> kEngineLines = {
    "info 7776FU(60%) 2726FU(40%)\r\n",
    "\r\n",
    "move7776FU\r\n",  // a book move: the search is restarted
    "\r\n",
    "info-0.35 +2726FU -3334FU\r\n",
    "statsatu=12 nodes=34 nps=56\n",
    "\n",
    "something else\r\n",
    "move2726FU\r\n",
    "\r\n",
};

struct Expected {
  std::vector<std::string> gui, engine;  // what each line leads to
};

// Each line through the translator alone, in order.
Expected expected_per_line() {
  Relay r;
  Expected e;
  for (const std::string& line : kEngineLines) {
    std::string text = line.substr(0, line.find_first_of("\r\n"));
    Outbox out;
    if (!text.empty()) translate_engine_line(r.state, text, 0, out);
    std::string g, c;
    for (const Outbox::Entry& entry : out.entries) {
      (entry.target == Outbox::kGui ? g : c) +=
          out.text.substr(entry.begin, entry.end - entry.begin);
      if (entry.target == Outbox::kEngine) c += "\n";
    }
    e.gui.push_back(without_times(g));
    e.engine.push_back(c);
  }
  return e;
}

// The engine's input, drained as it comes.
struct EngineInput {
  platform::Handle read_end = platform::no_handle;
  std::mutex lock;
  std::condition_variable grew;
  std::string text;
  std::thread reader;

  explicit EngineInput(platform::Handle end) : read_end(end) {
    reader = std::thread([this] {
      char buffer[4096];
      long n;
      while ((n = platform::read_pipe(read_end, buffer, sizeof buffer)) > 0) {
        std::lock_guard<std::mutex> hold(lock);
        text.append(buffer, static_cast<std::size_t>(n));
        grew.notify_all();
      }
    });
  }
  // True when the commands have arrived within a bound.
  bool has(const std::string& wanted) {
    std::unique_lock<std::mutex> hold(lock);
    return grew.wait_for(hold, std::chrono::seconds(2), [&] { return text == wanted; });
  }
  ~EngineInput() {
    reader.join();
    platform::close_handle(read_end);
  }
};

// The reads the engine's writes make, served one per call; each call first checks that
// what the reads so far completed has been written.
struct Reads {
  std::vector<std::string> pieces;
  std::size_t next = 0;
  std::string consumed;
  const Expected* expected = nullptr;
  EngineInput* engine = nullptr;
  std::vector<std::string> faults;
};
Reads* reads = nullptr;

void check_written(Reads& r) {
  std::size_t lines = 0;
  for (char c : r.consumed) lines += c == '\n';
  std::string want_gui, want_engine;
  for (std::size_t i = 0; i < lines; ++i) {
    want_gui += r.expected->gui[i];
    want_engine += r.expected->engine[i];
  }
  std::string got;
  {
    std::lock_guard<std::mutex> hold(gui_lock);
    got = without_times(gui);
  }
  if (got != want_gui) r.faults.push_back("after " + std::to_string(lines) + " lines, GUI: " + got);
  if (!r.engine->has(want_engine)) {
    r.faults.push_back("after " + std::to_string(lines) + " lines, engine: " + r.engine->text);
  }
}

long scripted_read(platform::Handle, char* buffer, std::size_t size) {
  Reads& r = *reads;
  check_written(r);
  if (r.next == r.pieces.size()) return 0;
  std::string& piece = r.pieces[r.next];
  const std::size_t n = piece.size() < size ? piece.size() : size;
  piece.copy(buffer, n);
  r.consumed.append(piece, 0, n);
  piece.erase(0, n);
  if (piece.empty()) ++r.next;
  return static_cast<long>(n);
}

// The whole output relayed as the reads come; the faults seen on the way.
std::vector<std::string> relay(const std::vector<std::string>& pieces, const Expected& expected) {
  Relay r;
  platform::Handle engine_read, engine_write;
  if (!platform::make_pipe(engine_read, engine_write)) return {"no pipe"};
  r.link.child.to_engine = engine_write;
  EngineInput engine(engine_read);
  Reads script{pieces, 0, {}, &expected, &engine, {}};
  reads = &script;
  r.link.out_reader.read = scripted_read;
  gui.clear();
  redirect_gui_output(collect_gui);
  Outbox out;
  while (relay_engine_output(r.context, r.state, out)) {
  }
  redirect_gui_output(nullptr);
  platform::close_handle(r.link.child.to_engine);
  return script.faults;
}

}  // namespace

TEST(EngineOutput, EveryCutOfTheReadsGivesTheSameLinesWrittenAtOnce) {
  const Expected expected = expected_per_line();
  std::string all;
  for (const std::string& line : kEngineLines) all += line;

  std::vector<std::vector<std::string>> cuts;
  cuts.push_back({all});
  for (std::size_t at = 1; at < all.size(); ++at)
    cuts.push_back({all.substr(0, at), all.substr(at)});
  std::vector<std::string> bytes;
  for (char c : all) bytes.push_back(std::string(1, c));
  cuts.push_back(bytes);
  std::mt19937 random(17);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::string> pieces{""};
    for (char c : all) {
      if (!pieces.back().empty() && random() % 6 == 0) pieces.emplace_back();
      pieces.back() += c;
    }
    cuts.push_back(pieces);
  }

  for (const auto& pieces : cuts) {
    const std::vector<std::string> faults = relay(pieces, expected);
    std::string shape;
    for (const std::string& p : pieces) shape += std::to_string(p.size()) + " ";
    ASSERT_TRUE(faults.empty()) << "reads of " << shape << "bytes: " << faults[0];
  }
}

// An InfBook restart composed by the output thread just before the GUI's "stop" reaches the
// engine first, even when the main thread is first to write: the stop waits for its turn.
TEST(EngineOutput, RestartComposedBeforeAStopReachesTheEngineFirst) {
  auto a = std::make_unique<Adapter>();
  set_start_position(a->position);
  a->engine.running = true;
  set_option(a->options, kInfBook, "true");
  platform::Handle engine_read, engine_write;
  ASSERT_TRUE(platform::make_pipe(engine_read, engine_write));
  a->link.child.to_engine = engine_write;
  gui.clear();
  redirect_gui_output(collect_gui);
  EngineLineState state{
      a->position, a->searched_position, a->game, a->options, a->engine, a->files, {}, {}};
  compose_gui_line(*a, "go infinite", true);
  deliver(a->out, a->link);

  Outbox restart;  // a book move after candidates: composed, then the thread is paused
  compose_engine_line(a->threads, state, "info 7776FU(60%)", restart);
  compose_engine_line(a->threads, state, "move7776FU", restart);
  compose_gui_line(*a, "stop", true);
  std::atomic<bool> stop_delivered{false};
  std::thread gui_side([&] {
    deliver(a->out, a->link);
    stop_delivered = true;
  });
  // The stop has been written by now, or waits for its turn.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  deliver(restart, a->link);
  gui_side.join();
  redirect_gui_output(nullptr);
  platform::close_handle(a->link.child.to_engine);
  std::string received;
  char buffer[4096];
  for (long n; (n = platform::read_pipe(engine_read, buffer, sizeof buffer)) > 0;) {
    received.append(buffer, static_cast<std::size_t>(n));
  }
  platform::close_handle(engine_read);
  EXPECT_EQ(received,
            "book off\nlimit time 0 86400\nmove\n"
            "read orv.csa\nbook off\nlimit time 0 86400\nmove\ns\n");
}
