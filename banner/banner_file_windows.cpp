#include <windows.h>

#include "banner/banner_file.h"

bool ReadFileStart(const std::string& path, std::size_t limit, std::string* bytes,
                   int* system_error) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *system_error = static_cast<int>(::GetLastError());
    return false;
  }
  std::string read(limit, '\0');
  std::size_t total = 0;
  bool ok = true;
  // A read may stop short of what was asked without the file having ended.
  while (total < limit) {
    DWORD got = 0;
    if (!::ReadFile(file, &read[total], static_cast<DWORD>(limit - total), &got, nullptr)) {
      *system_error = static_cast<int>(::GetLastError());
      ok = false;
      break;
    }
    if (got == 0) break;
    total += got;
  }
  ::CloseHandle(file);
  if (ok) *bytes = read.substr(0, total);
  return ok;
}
