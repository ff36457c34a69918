// The engine child process and its three pipes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "common/outbox.h"
#include "engine/line_reader.h"
#include "platform/platform.h"

// A command sent to the engine is at most this long; longer text is cut.
constexpr std::size_t kMaxEngineCommand = 4095;
// An engine that reads none of its input this long while the pipe is full is taken for
// hung. Its banner is waited for as long as it lives: engines may load large files first.
constexpr unsigned kEngineWriteTimeoutMs = 5000;
// When orv ends, the engine has this long to end by itself (and write its files) before it
// is ended: well inside the time a GUI gives its engine after "quit".
constexpr unsigned kEngineEndGraceMs = 2000;
// Once orv ends, what it still has to write to the GUI gets this long.
constexpr unsigned kLastWritesMs = 1000;

struct EngineLink {
  platform::Child child;
  std::mutex life_lock;     // the engine's process: waited for or ended by one thread
  std::mutex write_lock;    // one command, line feed included, per write
  LineReader out_reader;    // used by the engine output thread alone once it runs
  LineReader err_reader;    // used by the engine error thread alone
  std::string engine_file;  // the engine's file name, for the GUI's messages

  // The engine has gone (its output ended, a write to it failed, its process ended): told
  // by the procedure launch_engine was handed, which returns only while orv is quitting.
  void (*gone)(void* context) = nullptr;
  void* gone_context = nullptr;
  std::atomic<bool> output_ended{false};  // the output thread has read the end of the output
  std::atomic<bool> gone_told{false};     // a thread has taken the telling of it
  // The banner has been read: before it no search can be asked, and the thread that starts
  // the engine waits for it holding the state lock.
  std::atomic<bool> banner_read{false};
  // The reads of each reader that have brought bytes, as its thread last saw them: what came
  // with a read before a search was asked cannot answer it.
  std::atomic<std::uint64_t> out_reads{0}, err_reads{0};
  platform::Handle exit_watch = platform::no_handle;  // the engine's end, watched

  // Commands reach the engine in the order they were composed under the state lock,
  // whichever thread writes first: an InfBook restart composed just before the GUI's
  // "stop" must not arrive after its "s", or the restarted search would never end.
  std::uint64_t turns_taken = 0;  // under the state lock
  std::mutex turn_lock;
  std::condition_variable turn_passed;
  std::uint64_t turns_written = 0;  // under turn_lock
};

// The reader threads' procedures, handed in so that this room knows nothing of them: the
// standard error ones from the engine's start (it may say much before its banner), the
// standard output one after the banner; and what is done when the engine has gone.
struct ReaderThreads {
  void (*out_thread)(void* context);
  void (*err_threads[2])(void* context);
  void (*gone)(void* context);
  void* context;
};

bool start_engine_process(EngineLink& link, EngineState& engine, const platform::Path& dir,
                          const platform::Path& base);

// Writes the text and a line feed in one write; returns the bytes written, 0 once orv has
// closed the engine's input, -1 when the engine's input is closed, or
// platform::kWriteTimedOut when the engine has stopped reading.
long write_engine_line(EngineLink& link, std::string_view text);

// The engine cannot go on ("has exited", "does not read its input"): the engine is ended if
// it still runs, the GUI is told, so it does not wait for a bestmove for ever, and the
// adapter ends with exit code 1.
[[noreturn]] void end_for_engine(EngineLink& link, const char* what);

// The engine sees the end of its input. The reader threads see the end of its output when
// it exits.
void close_engine(EngineLink& link, EngineState& engine);

// orv is ending, the engine's input closed: it is given grace_ms to end by itself, then
// ended. Nothing is written to the GUI.
void end_engine(EngineLink& link, unsigned grace_ms);

// orv is ending: whatever the GUI's pipe does (a GUI that no longer reads holds up every
// write), the process ends with code within ms, its engine ended first. What cannot be
// written by then is dropped.
void end_process_within(EngineLink& link, int code, unsigned ms);

// The engine's first line with text in it, its control bytes blanks: a line of blanks is no
// banner, and the rest of a line too long for one piece no line of its own. False when the
// output ends first.
bool read_banner(EngineLink& link, std::string& banner);

// The version flags and the reported name from the engine's first line: " - The Computer
// Shogi Engine" is cut, and " (<base>)" added for an engine not named molvara.
void engine_name_from_banner(std::string_view banner, EngineState& engine, const std::string& base,
                             std::string& name);

// Starts the engine, reads its banner into name (version flags set, " - The Computer Shogi
// Engine" cut, " (<base>)" added for an engine not named molvara) and starts the reader
// threads. False when the engine could not be started or ended before its banner.
bool launch_engine(EngineLink& link, EngineState& engine, const platform::Path& dir,
                   const platform::Path& base, std::string& name, const ReaderThreads& threads);

// Gives an outbox that holds engine commands its turn; called with the state lock held,
// once its commands are composed.
void take_engine_turn(Outbox& out, EngineLink& link);

// Writes an outbox: GUI lines to standard output, engine commands to the engine, these
// in their turn.
void deliver(Outbox& out, EngineLink& link);
