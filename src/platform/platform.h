// Everything that differs between Windows and POSIX. Exactly one platform's files are compiled
// (platform_posix*.cpp or platform_win32*.cpp): its services, its child process, its wait. Text
// crossing this interface is the platform's own narrow 8-bit text (the ANSI code page on Windows,
// UTF-8 on POSIX), except file-system paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A file-system path or file name in the platform's own form: UTF-16 on Windows, as its
// file services give and take it, so a folder named outside the ANSI code page works;
// bytes on POSIX. Paths are never narrowed on their way from one system call to another.
#ifdef _WIN32
using PathChar = wchar_t;
#else
using PathChar = char;
#endif
using Path = std::basic_string<PathChar>;

// Narrow text as a path (an ASCII name, a folder named on a command line).
Path to_path(std::string_view narrow);
// A path as narrow text, for the GUI and the messages; on Windows a character outside the
// ANSI code page becomes "?".
std::string from_path(const Path& path);

// A pipe handle: a file descriptor on POSIX, a HANDLE on Windows.
using Handle = std::intptr_t;
constexpr Handle no_handle = -1;

// True where narrow text is code page 932 (the Windows build), false where it is UTF-8.
bool narrow_text_is_cp932();
// UTF-8 text as narrow text: made code page 932 on Windows, as it is on POSIX.
std::string narrow_from_utf8(std::string_view utf8);

// Called first thing in main: writing to a gone pipe must not kill the process, the
// standard streams carry bytes unbuffered, and child processes are reaped by this process
// alone, whatever the GUI that started it set.
void init_process();

// Ends the process at once with all its threads; nothing buffered is left to flush.
[[noreturn]] void exit_process(int code);

// Full path (Windows) or argv[0] (POSIX) of the running executable.
Path executable_path(const char* argv0);
char path_separator();
// ".exe" on Windows, empty on POSIX: the suffix of the engine's file name.
const char* executable_suffix();
// Without a trailing separator.
Path current_directory();

// A start-up failure, before the GUI dialogue: a message box titled "orv" on Windows,
// "orv: <text>" on standard error on POSIX. The text is subject (a file name) followed by
// the message.
void show_startup_error(const Path& subject, std::string_view message);

// Milliseconds, wrapping at 32 bits.
std::uint32_t tick_ms();
struct LocalTime {
  int hour, minute, second, millisecond;
};
LocalTime local_time();

// Writes all of data to standard output; false when it could not.
bool write_stdout(const char* data, std::size_t size);

// The adapter's ends of the engine child's three pipes. The engine-side ends are closed in
// the adapter once the child holds them; its exit is seen as the end of its output.
struct Child {
  Handle to_engine = no_handle;  // engine's standard input
  Handle from_out = no_handle;   // engine's standard output
  Handle from_err = no_handle;   // engine's standard error
  Handle process = no_handle;    // a pid on POSIX, a process handle on Windows
  Handle job = no_handle;        // Windows: the job that holds the child and all it starts
};

// Starts <dir><base><suffix> with the argument "csa_shogi", working directory dir (which
// ends in the separator), with no window of its own. False when the program could not be
// started. The child and whatever it starts never outlive this process: on Windows they run
// in a job that ends them when its last handle closes (where the system allows one); on
// POSIX the child leads a process group of its own, which SIGTERM, SIGINT and SIGHUP end with
// this process, and on Linux it gets SIGKILL when the thread that started it ends (start it
// from the main thread). Its input never blocks a write.
bool start_child(const Path& dir, const Path& base, Child& child);

// Waits up to timeout_ms for the child to end: its exit code, or kStillRunning.
constexpr int kStillRunning = -1;
int wait_child(Child& child, unsigned timeout_ms);
// Ends the child and everything it started (its process group, its job) at once, then
// collects it: its exit code, or kStillRunning when there was none to end.
int kill_child(Child& child);
// >0 bytes read, 0 end of pipe, -1 error.
long read_pipe(Handle pipe, char* buffer, std::size_t size);
// Writes all bytes; returns the count written, -1 on failure (a gone reader included).
long write_pipe(Handle pipe, const char* data, std::size_t size);
// Closes and resets to no_handle; a no_handle is left alone.
void close_handle(Handle& handle);

// The one wait of the session loop: the GUI's input and the engine's two output pipes read,
// the GUI's output and the engine's input written as they take bytes, the engine's exit.
enum Input { kGuiIn, kEngineOut, kEngineErr, kInputCount };
enum Output { kGuiOut, kEngineIn, kOutputCount };
struct Wants {
  bool read[kInputCount] = {};    // bytes of this input may be taken now
  bool write[kOutputCount] = {};  // bytes wait for this output
};
struct Ready {
  bool read[kInputCount] = {};  // io_read has bytes, or the end, for this input
  bool write[kOutputCount] = {};
  bool exited = false;  // the engine's process has ended (told once per engine)
};
// Set up once, before the first wait.
void io_open();
// The engine's pipes and process join the wait, and leave it (its handles stay the child's).
void io_attach(const Child& child);
void io_detach();
// The engine's input has been closed: nothing more is written to it.
void io_engine_input_closed();
// Waits until something wanted is ready, the engine has exited, or timeout_ms (-1: no
// limit) has passed; false on the timeout.
bool io_wait(const Wants& wants, int timeout_ms, Ready& ready);
// Lets whatever else waits for this processor run before the loop looks again.
void give_way();
// What a ready input holds, at most size bytes: >0 bytes, 0 its end (an error too).
long io_read(Input input, char* buffer, std::size_t size);
// As many bytes as the output takes now, never waiting: 0 when it takes none, -1 when its
// reader has gone.
long io_write(Output output, const char* data, std::size_t size);
// Everything the GUI's output took has reached its pipe (Windows writes it on a thread).
bool io_gui_written();

// The configuration file. A missing file, section or key reads as fallback; a key that is
// present with an empty value reads as empty. At most max_bytes - 1 bytes are returned.
std::string ini_read(const Path& file, std::string_view section, std::string_view key,
                     std::string_view fallback, std::size_t max_bytes);
// Creates the file, section or key as needed; false when the file could not be written.
bool ini_write(const Path& file, std::string_view section, std::string_view key,
               std::string_view value);
// The same for a value that is a path: read and written as a path, without narrowing, at
// most max_length - 1 path characters (UTF-16 units on Windows); a missing key reads as
// empty. Where the file's own encoding cannot hold a character (an ANSI file on Windows),
// the profile service stores "?" for it.
Path ini_read_path(const Path& file, std::string_view section, std::string_view key,
                   std::size_t max_length);
bool ini_write_path(const Path& file, std::string_view section, std::string_view key,
                    const Path& value);

// For a person at a console, and the folder as the self-check sees it.
// True when standard input is a console (a person typing), not a pipe or a file.
bool stdin_is_console();
// Writes UTF-8 text with the console's own wide-text call when standard output is a console,
// so Japanese shows on any code page; false, with nothing written, otherwise.
bool write_console(std::string_view utf8);
// A path as UTF-8 text.
std::string utf8_from_path(const Path& path);
// Puts the file from in the place of the file to, in one step: a reader sees the old file or
// the new one, never a part of either. False when it could not (to is in use, say).
bool replace_file(const std::string& from, const std::string& to);
// True when path names a file (not a folder).
bool file_exists(const Path& path);
// The names of the files, or of the folders, in dir (which ends in the separator), in no
// particular order.
enum class Entries { kFiles, kFolders };
std::vector<Path> folder_entries(const Path& dir, Entries kind);
// Makes, writes and removes a file of its own in dir: true when all of it worked.
bool can_create_file_in(const Path& dir);
// Why dir refuses a new file, as far as the system tells: its mode (POSIX: no write bit for
// this user), its guard (Windows: its permissions, or controlled folder access; a folder's
// read-only mark stops no writes there), or something else (a full or read-only disk).
enum class Refusal { kMode, kGuard, kOther };
Refusal why_refused(const Path& dir);
// True when dir lies in the folder for temporary files (Windows: its Temp folder; POSIX:
// $TMPDIR, else /tmp), where a program started from inside a zip is put for a moment.
bool in_temp_folder(const Path& dir);
// True when the file is there but may not be run for want of its run bit (never on Windows).
bool lacks_run_bit(const Path& file);
// The person's own folder (HOME; USERPROFILE on Windows), without a trailing separator.
Path home_folder();

}  // namespace platform
