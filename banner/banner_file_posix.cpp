#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "banner/banner_file.h"

bool ReadFileStart(const std::string& path, std::size_t limit, std::string* bytes,
                   int* system_error) {
  const int file = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (file < 0) {
    *system_error = errno;
    return false;
  }
  std::string read(limit, '\0');
  std::size_t total = 0;
  bool ok = true;
  // A read may stop short of what was asked without the file having ended.
  while (total < limit) {
    const ssize_t got = ::read(file, &read[total], limit - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *system_error = errno;
      ok = false;
      break;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  ::close(file);
  if (ok) *bytes = read.substr(0, total);
  return ok;
}
