#include "banner/banner_file.h"

#include <cstdint>

#include "banner/banner_text.h"

bool ReadBannerFile(const std::string& path, std::string* text, int* system_error) {
  std::string bytes;
  int code = 0;
  if (!ReadFileStart(path, kBannerReadLimit, &bytes, &code)) {
    if (system_error != nullptr) *system_error = code;
    return false;
  }
  *text = BannerTextFromFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return true;
}
