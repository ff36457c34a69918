#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

std::wstring widen(std::string_view text, UINT code_page = CP_ACP) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

std::string narrow(const wchar_t* text, std::size_t length) {
  if (length == 0) return std::string();
  const int count = static_cast<int>(length);
  int n = WideCharToMultiByte(CP_ACP, 0, text, count, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, count, &out[0], n, nullptr, nullptr);
  return out;
}

HANDLE handle_of(Handle h) {
  return reinterpret_cast<HANDLE>(h);
}

// A pipe whose child end is inheritable and whose adapter end is not.
bool make_pipe(HANDLE& read_end, HANDLE& write_end, bool child_reads) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return false;
  SetHandleInformation(child_reads ? write_end : read_end, HANDLE_FLAG_INHERIT, 0);
  return true;
}

}  // namespace

bool narrow_text_is_cp932() {
  return true;
}

void init_process() {
  // The GUI's input is read as bytes (a CR before LF is dropped by the line reader);
  // output stays in text mode, so every line ends in CR LF as Windows programs expect.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_TEXT);
}

void exit_process(int code) {
  ExitProcess(static_cast<UINT>(code));
}

Path to_path(std::string_view narrow_text) {
  return widen(narrow_text);
}

std::string from_path(const Path& path) {
  return narrow(path.data(), path.size());
}

Path executable_path(const char*) {
  std::vector<wchar_t> path(32768);
  DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return Path(path.data(), n);
}

char path_separator() {
  return '\\';
}

const char* executable_suffix() {
  return ".exe";
}

Path current_directory() {
  std::vector<wchar_t> dir(32768);
  DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), dir.data());
  Path path(dir.data(), n < dir.size() ? n : 0);
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

void show_startup_error(const Path& subject, std::string_view message) {
  // The messages are code page 932 text whatever the system's code page.
  MessageBoxW(nullptr, (subject + widen(message, 932)).c_str(), L"orv", MB_OK);
}

std::uint32_t tick_ms() {
  return GetTickCount();
}

LocalTime local_time() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

void sleep_ms(unsigned ms) {
  Sleep(ms);
}

long read_stdin(char* buffer, std::size_t size) {
  int n = _read(0, buffer, static_cast<unsigned>(size));
  return n < 0 ? -1 : n;
}

bool write_stdout(const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    int n = _write(1, data + done, static_cast<unsigned>(size - done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

long read_pipe(Handle pipe, char* buffer, std::size_t size) {
  DWORD got = 0;
  if (!ReadFile(handle_of(pipe), buffer, static_cast<DWORD>(size), &got, nullptr)) {
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return static_cast<long>(got);
}

long write_pipe_within(Handle pipe, const char* data, std::size_t size, unsigned timeout_ms) {
  // The engine's input is in no-wait mode: a write takes what fits and returns.
  const DWORD started = GetTickCount();
  std::size_t done = 0;
  while (done < size) {
    DWORD wrote = 0;
    if (!WriteFile(handle_of(pipe), data + done, static_cast<DWORD>(size - done), &wrote,
                   nullptr)) {
      return -1;
    }
    done += wrote;
    if (done < size && wrote == 0) {
      if (GetTickCount() - started >= timeout_ms) return kWriteTimedOut;
      Sleep(1);
    }
  }
  return static_cast<long>(done);
}

long write_pipe(Handle pipe, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD wrote = 0;
    if (!WriteFile(handle_of(pipe), data + done, static_cast<DWORD>(size - done), &wrote,
                   nullptr) ||
        wrote == 0) {
      return -1;
    }
    done += wrote;
  }
  return static_cast<long>(done);
}

bool make_pipe(Handle& read_end, Handle& write_end) {
  HANDLE r, w;
  if (!CreatePipe(&r, &w, nullptr, 0)) return false;
  read_end = reinterpret_cast<Handle>(r), write_end = reinterpret_cast<Handle>(w);
  return true;
}

void close_handle(Handle& handle) {
  if (handle == no_handle) return;
  CloseHandle(handle_of(handle));
  handle = no_handle;
}

namespace {

// A job that ends its processes when its last handle closes: when the adapter ends, however
// it ends. Null where the system refuses one.
HANDLE make_kill_on_close_job() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// No console window of the engine's own when the GUI started the adapter without one.
constexpr DWORD kEngineFlags = NORMAL_PRIORITY_CLASS | CREATE_NO_WINDOW;

bool create_process(std::wstring& command, const Path& dir, STARTUPINFOW& startup, DWORD flags,
                    PROCESS_INFORMATION& process) {
  return CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, kEngineFlags | flags, nullptr,
                        dir.c_str(), &startup, &process) != 0;
}

// The engine in the job from its first instruction, so that no moment of it runs outside:
// where the system takes a job list at creation (Windows 10 and later).
bool create_in_job(std::wstring& command, const Path& dir, const STARTUPINFOW& startup, HANDLE job,
                   DWORD flags, PROCESS_INFORMATION& process) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> storage(size);
  auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return false;
  STARTUPINFOEXW extended{};
  extended.StartupInfo = startup;
  extended.StartupInfo.cb = sizeof extended;
  extended.lpAttributeList = list;
  const bool created = UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job,
                                                 sizeof job, nullptr, nullptr) &&
                       create_process(command, dir, extended.StartupInfo,
                                      flags | EXTENDED_STARTUPINFO_PRESENT, process);
  DeleteProcThreadAttributeList(list);
  return created;
}

// Suspended until it is in the job, so it never runs outside it. A kill of the adapter
// between the two steps would leave it suspended, which is why this is the fallback only.
bool create_then_assign(std::wstring& command, const Path& dir, STARTUPINFOW& startup, HANDLE job,
                        DWORD flags, PROCESS_INFORMATION& process) {
  if (!create_process(command, dir, startup, flags | CREATE_SUSPENDED, process)) return false;
  if (AssignProcessToJobObject(job, process.hProcess)) return true;
  TerminateProcess(process.hProcess, 1);  // it never ran
  CloseHandle(process.hThread), CloseHandle(process.hProcess);
  return false;
}

// Starts the engine in the job where it can be put in it: inside it from its creation, else
// assigned before it runs; where the adapter's own job forbids a job inside it, the engine is
// started again outside the adapter's job. Where none of this is allowed the engine runs
// without a job (job is then closed and reset), as a program the adapter started.
bool create_engine(std::wstring& command, const Path& dir, STARTUPINFOW& startup, HANDLE& job,
                   PROCESS_INFORMATION& process) {
  if (job) {
    for (DWORD breakaway : {DWORD{0}, DWORD{CREATE_BREAKAWAY_FROM_JOB}}) {
      if (create_in_job(command, dir, startup, job, breakaway, process) ||
          create_then_assign(command, dir, startup, job, breakaway, process)) {
        ResumeThread(process.hThread);
        CloseHandle(process.hThread);
        return true;
      }
    }
    CloseHandle(job);
    job = nullptr;
  }
  if (!create_process(command, dir, startup, 0, process)) return false;
  CloseHandle(process.hThread);
  return true;
}

}  // namespace

bool start_child(const Path& dir, const Path& base, Child& child) {
  HANDLE in_read, in_write, out_read, out_write, err_read, err_write;
  if (!make_pipe(in_read, in_write, true)) return false;
  if (!make_pipe(out_read, out_write, false)) {
    CloseHandle(in_read), CloseHandle(in_write);
    return false;
  }
  if (!make_pipe(err_read, err_write, false)) {
    CloseHandle(in_read), CloseHandle(in_write), CloseHandle(out_read), CloseHandle(out_write);
    return false;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  // The path in quotes, so a folder with blanks starts the right program.
  std::wstring command = L"\"" + dir + base + to_path(executable_suffix()) + L"\" csa_shogi";
  PROCESS_INFORMATION process{};
  HANDLE job = make_kill_on_close_job();
  const bool started = create_engine(command, dir, startup, job, process);
  // The engine holds its ends now; closing ours lets a read see the engine's exit.
  CloseHandle(in_read), CloseHandle(out_write), CloseHandle(err_write);
  if (!started) {
    if (job) CloseHandle(job);
    CloseHandle(in_write), CloseHandle(out_read), CloseHandle(err_read);
    return false;
  }
  DWORD no_wait = PIPE_READMODE_BYTE | PIPE_NOWAIT;
  SetNamedPipeHandleState(in_write, &no_wait, nullptr, nullptr);
  child.to_engine = reinterpret_cast<Handle>(in_write);
  child.from_out = reinterpret_cast<Handle>(out_read);
  child.from_err = reinterpret_cast<Handle>(err_read);
  child.process = reinterpret_cast<Handle>(process.hProcess);
  child.job = job ? reinterpret_cast<Handle>(job) : no_handle;
  return true;
}

Handle watch_child(const Child& child) {
  // A handle of the watch's own: the child's may be closed while the watch waits on it.
  HANDLE copy = nullptr;
  if (child.process == no_handle ||
      !DuplicateHandle(GetCurrentProcess(), handle_of(child.process), GetCurrentProcess(), &copy,
                       SYNCHRONIZE, FALSE, 0)) {
    return no_handle;
  }
  return reinterpret_cast<Handle>(copy);
}

bool wait_watched_exit(Handle& watch) {
  if (watch == no_handle) return false;
  WaitForSingleObject(handle_of(watch), INFINITE);
  close_handle(watch);
  return true;
}

int wait_child(Child& child, unsigned timeout_ms) {
  if (child.process == no_handle) return kStillRunning;
  if (WaitForSingleObject(handle_of(child.process), timeout_ms) != WAIT_OBJECT_0) {
    return kStillRunning;
  }
  DWORD code = 0;
  GetExitCodeProcess(handle_of(child.process), &code);
  close_handle(child.process);
  return static_cast<int>(code);
}

void kill_child(Child& child) {
  if (child.process == no_handle) return;
  TerminateProcess(handle_of(child.process), 1);
  WaitForSingleObject(handle_of(child.process), 5000);
  close_handle(child.process);
}

std::string ini_read(const Path& file, std::string_view section, std::string_view key,
                     std::string_view fallback, std::size_t max_bytes) {
  if (max_bytes == 0) return std::string();
  std::vector<wchar_t> value(max_bytes + 1);
  DWORD n =
      GetPrivateProfileStringW(widen(section).c_str(), widen(key).c_str(), widen(fallback).c_str(),
                               value.data(), static_cast<DWORD>(max_bytes), file.c_str());
  std::string text = narrow(value.data(), n);
  if (text.size() > max_bytes - 1) text.resize(max_bytes - 1);
  return text;
}

bool ini_write(const Path& file, std::string_view section, std::string_view key,
               std::string_view value) {
  return ini_write_path(file, section, key, widen(value));
}

Path ini_read_path(const Path& file, std::string_view section, std::string_view key,
                   std::size_t max_length) {
  if (max_length == 0) return Path();
  std::vector<wchar_t> value(max_length + 1);
  DWORD n = GetPrivateProfileStringW(widen(section).c_str(), widen(key).c_str(), L"", value.data(),
                                     static_cast<DWORD>(max_length), file.c_str());
  return Path(value.data(), n);
}

bool ini_write_path(const Path& file, std::string_view section, std::string_view key,
                    const Path& value) {
  return WritePrivateProfileStringW(widen(section).c_str(), widen(key).c_str(), value.c_str(),
                                    file.c_str()) != 0;
}

bool stdin_is_console() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool write_console(std::string_view utf8) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode;
  if (!GetConsoleMode(out, &mode)) return false;
  std::wstring wide;
  for (wchar_t c : widen(utf8, CP_UTF8)) {
    if (c == L'\n') wide += L'\r';
    wide += c;
  }
  for (std::size_t done = 0; done < wide.size();) {
    DWORD wrote = 0;
    if (!WriteConsoleW(out, wide.data() + done, static_cast<DWORD>(wide.size() - done), &wrote,
                       nullptr) ||
        wrote == 0) {
      break;
    }
    done += wrote;
  }
  return true;
}

std::string utf8_from_path(const Path& path) {
  if (path.empty()) return std::string();
  const int count = static_cast<int>(path.size());
  int n = WideCharToMultiByte(CP_UTF8, 0, path.data(), count, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path.data(), count, &out[0], n, nullptr, nullptr);
  return out;
}

bool file_exists(const Path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<Path> folder_files(const Path& dir) {
  std::vector<Path> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

bool can_create_file_in(const Path& dir) {
  const Path path = dir + L".orv_check" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD wrote = 0;
  const bool written = WriteFile(file, "x", 1, &wrote, nullptr) && wrote == 1;
  CloseHandle(file);
  DeleteFileW(path.c_str());
  return written;
}

Refusal why_refused(const Path& dir) {
  const Path path = dir + L".orv_check" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return Refusal::kOther;
  }
  return GetLastError() == ERROR_ACCESS_DENIED ? Refusal::kGuard : Refusal::kOther;
}

std::vector<Path> folder_folders(const Path& dir) {
  std::vector<Path> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const Path name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
      names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

namespace {

// The long form of a folder's path: the Temp folder may be named in its short (8.3) form.
Path long_path(const Path& path) {
  std::vector<wchar_t> long_form(32768);
  const DWORD n = GetLongPathNameW(path.c_str(), long_form.data(), 32768);
  return n > 0 && n < 32768 ? Path(long_form.data(), n) : path;
}

}  // namespace

bool in_temp_folder(const Path& dir) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return false;
  const Path folder = long_path(Path(temp, n)), inside = long_path(dir);
  return inside.size() >= folder.size() &&
         CompareStringOrdinal(inside.data(), static_cast<int>(folder.size()), folder.data(),
                              static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

bool lacks_run_bit(const Path&) {
  return false;  // a program runs by its name, not by a mark
}

Path home_folder() {
  wchar_t home[MAX_PATH + 1];
  const DWORD n = GetEnvironmentVariableW(L"USERPROFILE", home, MAX_PATH + 1);
  Path path = n > 0 && n <= MAX_PATH ? Path(home, n) : Path();
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace platform
