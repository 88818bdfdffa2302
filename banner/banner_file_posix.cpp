#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "banner/banner_file.h"
#include "banner/banner_text.h"

bool ReadBannerFile(const std::string& path, std::string* text, int* system_error) {
  const int file = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (file < 0) {
    if (system_error != nullptr) *system_error = errno;
    return false;
  }
  std::uint8_t buffer[kBannerReadLimit];
  std::size_t total = 0;
  bool ok = true;
  // A read may stop short of what was asked without the file having ended.
  while (total < kBannerReadLimit) {
    const ssize_t got = ::read(file, buffer + total, kBannerReadLimit - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      if (system_error != nullptr) *system_error = errno;
      ok = false;
      break;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  ::close(file);
  if (ok) *text = BannerTextFromFile(buffer, total);
  return ok;
}
