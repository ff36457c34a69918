// Prints the version resource of a Windows program as Explorer shows it, a NAME=VALUE line
// each: the fixed file and product versions, then the strings of its first translation.
#include <windows.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
  std::vector<char> data(size);
  if (size == 0 || !GetFileVersionInfoA(argv[1], 0, size, data.data())) {
    std::printf("no version resource\n");
    return 1;
  }
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueA(data.data(), "\\", &value, &length)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::printf("file version=%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                LOWORD(fixed->dwFileVersionLS));
    std::printf("product version=%u.%u.%u.%u\n", HIWORD(fixed->dwProductVersionMS),
                LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
                LOWORD(fixed->dwProductVersionLS));
  }
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length)) return 1;
  const WORD* translation = static_cast<const WORD*>(value);
  for (const char* name : {"CompanyName", "ProductName", "FileDescription", "FileVersion",
                           "ProductVersion", "OriginalFilename", "LegalCopyright"}) {
    char query[128];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translation[0],
                  translation[1], name);
    if (VerQueryValueA(data.data(), query, &value, &length)) {
      std::printf("%s=%s\n", name, static_cast<const char*>(value));
    }
  }
  return 0;
}
