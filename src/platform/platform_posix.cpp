#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ini_text.h"
#include "platform/platform.h"

namespace platform {

bool narrow_text_is_cp932() {
  return false;
}

void init_process() {
  signal(SIGPIPE, SIG_IGN);
  // With SIGCHLD ignored (some GUIs start their engines so) the system would reap the engine
  // at its exit, and its process id could be another program's when orv ends it.
  signal(SIGCHLD, SIG_DFL);
  // A GUI may start orv with signals blocked: orv would not see its engine's exit, and SIGTERM
  // would not take the engine along.
  sigset_t wanted;
  sigemptyset(&wanted);
  for (int s : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) sigaddset(&wanted, s);
  sigprocmask(SIG_UNBLOCK, &wanted, nullptr);
  // A standard stream the GUI closed is the empty one: no pipe orv makes may take its number.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) < 0) open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
  }
}

void exit_process(int code) {
  _exit(code);
}

Path to_path(std::string_view narrow) {
  return Path(narrow);
}

std::string from_path(const Path& path) {
  return path;
}

Path executable_path(const char* argv0) {
  return argv0 ? argv0 : "";
}

char path_separator() {
  return '/';
}

const char* executable_suffix() {
  return "";
}

Path current_directory() {
  char buffer[4096];
  if (!getcwd(buffer, sizeof buffer)) return ".";
  std::string dir(buffer);
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir == "/" ? std::string() : dir;
}

void show_startup_error(const Path& subject, std::string_view message) {
  std::string line = "orv: " + subject + std::string(message) + "\n";
  if (write(STDERR_FILENO, line.data(), line.size()) < 0) return;
}

std::uint32_t tick_ms() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

LocalTime local_time() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts{};
  localtime_r(&now.tv_sec, &parts);
  return {parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(now.tv_nsec / 1000000)};
}

bool write_stdout(const char* data, std::size_t size) {
  return write_pipe(STDOUT_FILENO, data, size) == static_cast<long>(size);
}

namespace {

bool write_and_close(int fd, const std::string& text) {
  bool ok = write_pipe(fd, text.data(), text.size()) == static_cast<long>(text.size());
  ok = fsync(fd) == 0 && ok;
  return close(fd) == 0 && ok;
}

bool read_file(const std::string& path, std::string& text) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  std::fclose(file);
  return true;
}

}  // namespace

std::string ini_read(const Path& path, std::string_view section, std::string_view key,
                     std::string_view fallback, std::size_t max_bytes) {
  std::string text, value;
  if (!read_file(path, text) || !ini_text_get(text, section, key, value)) value = fallback;
  if (max_bytes == 0) return std::string();
  if (value.size() > max_bytes - 1) value.resize(max_bytes - 1);
  return value;
}

// The file is replaced whole (a new file renamed over the old one), so an interrupted
// write leaves the old file as it was. In a folder where no new file may be made, a
// writable file is written in place instead; any other failure (a full disk) leaves the old
// file whole, since writing in place would empty it first.
bool ini_write(const Path& path, std::string_view section, std::string_view key,
               std::string_view value) {
  std::string text;
  struct stat old {};
  const bool exists = stat(path.c_str(), &old) == 0;
  if (exists && access(path.c_str(), W_OK) != 0) return false;
  if (exists && !read_file(path, text)) return false;
  const std::string updated = ini_text_set(text, section, key, value);

  const std::string temp = path + ".tmp" + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                exists ? (old.st_mode & 07777) : 0644);
  if (fd < 0) {
    if (!exists || (errno != EACCES && errno != EPERM && errno != EROFS)) return false;
    fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return fd >= 0 && write_and_close(fd, updated);
  }
  bool ok = write_and_close(fd, updated);
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

Path ini_read_path(const Path& file, std::string_view section, std::string_view key,
                   std::size_t max_length) {
  return ini_read(file, section, key, "", max_length);
}

bool ini_write_path(const Path& file, std::string_view section, std::string_view key,
                    const Path& value) {
  return ini_write(file, section, key, value);
}

bool stdin_is_console() {
  return isatty(STDIN_FILENO) == 1;
}

bool write_console(std::string_view) {
  return false;  // a terminal takes the narrow text, UTF-8, as it is
}

std::string utf8_from_path(const Path& path) {
  return path;
}

std::string narrow_from_utf8(std::string_view utf8) {
  return std::string(utf8);
}

bool replace_file(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

bool file_exists(const Path& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::vector<Path> folder_entries(const Path& dir, Entries kind) {
  std::vector<Path> names;
  DIR* folder = opendir(dir.empty() ? "/" : dir.c_str());
  if (!folder) return names;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    struct stat st {};
    if (name == "." || name == ".." || stat((dir + name).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode) == (kind == Entries::kFolders)) names.push_back(name);
  }
  closedir(folder);
  return names;
}

bool can_create_file_in(const Path& dir) {
  const std::string path = dir + ".orv_check" + std::to_string(getpid()) + ".tmp";
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = write_and_close(fd, "x");
  unlink(path.c_str());
  return written;
}

Refusal why_refused(const Path& dir) {
  if (access(dir.c_str(), W_OK) == 0 || errno == EROFS) return Refusal::kOther;
  return errno == EACCES || errno == EPERM ? Refusal::kMode : Refusal::kOther;
}

bool in_temp_folder(const Path& dir) {
  const char* set = std::getenv("TMPDIR");
  char real[PATH_MAX];
  if (!realpath(set && *set ? set : "/tmp", real)) return false;
  std::string temp = real;
  if (temp.back() != '/') temp += '/';
  return dir.compare(0, temp.size(), temp) == 0;
}

bool lacks_run_bit(const Path& file) {
  return file_exists(file) && access(file.c_str(), X_OK) != 0 && errno == EACCES;
}

Path home_folder() {
  const char* home = std::getenv("HOME");
  Path path = home ? home : "";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace platform
