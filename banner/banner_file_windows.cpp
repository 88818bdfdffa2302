#include <windows.h>

#include <cstdint>

#include "banner/banner_file.h"
#include "banner/banner_text.h"

bool ReadBannerFile(const std::string& path, std::string* text, int* system_error) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (system_error != nullptr) *system_error = static_cast<int>(::GetLastError());
    return false;
  }
  std::uint8_t buffer[kBannerReadLimit];
  DWORD total = 0;
  bool ok = true;
  // A read may stop short of what was asked without the file having ended.
  while (total < kBannerReadLimit) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer + total, kBannerReadLimit - total, &got, nullptr)) {
      if (system_error != nullptr) *system_error = static_cast<int>(::GetLastError());
      ok = false;
      break;
    }
    if (got == 0) break;
    total += got;
  }
  ::CloseHandle(file);
  if (ok) *text = BannerTextFromFile(buffer, total);
  return ok;
}
