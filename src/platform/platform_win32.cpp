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

std::string narrow(std::wstring_view text, UINT code_page = CP_ACP) {
  if (text.empty()) return std::string();
  const int count = static_cast<int>(text.size());
  int n = WideCharToMultiByte(code_page, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), count, &out[0], n, nullptr, nullptr);
  return out;
}

// The Japanese texts' code page, whatever the system's own.
constexpr UINT kJapaneseCodePage = 932;

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
  return narrow(path);
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

bool write_stdout(const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    int n = _write(1, data + done, static_cast<unsigned>(size - done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string ini_read(const Path& file, std::string_view section, std::string_view key,
                     std::string_view fallback, std::size_t max_bytes) {
  if (max_bytes == 0) return std::string();
  std::vector<wchar_t> value(max_bytes + 1);
  DWORD n =
      GetPrivateProfileStringW(widen(section).c_str(), widen(key).c_str(), widen(fallback).c_str(),
                               value.data(), static_cast<DWORD>(max_bytes), file.c_str());
  std::string text = narrow(std::wstring_view(value.data(), n));
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
  return narrow(path, CP_UTF8);
}

std::string narrow_from_utf8(std::string_view utf8) {
  return narrow(widen(utf8, CP_UTF8), kJapaneseCodePage);
}

bool replace_file(const std::string& from, const std::string& to) {
  return MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool file_exists(const Path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<Path> folder_entries(const Path& dir, Entries kind) {
  std::vector<Path> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const Path name = found.cFileName;
    const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (name != L"." && name != L".." && folder == (kind == Entries::kFolders)) {
      names.push_back(name);
    }
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
