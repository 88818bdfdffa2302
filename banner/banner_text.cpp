#include "banner/banner_text.h"

#include "banner/frame.h"

std::string BannerTextFromFile(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  for (std::size_t pos = 0; pos < count && pos < kBannerTextLimit; ++pos) {
    text.push_back(static_cast<char>(bytes[pos]));
    if (bytes[pos] == kSub) {
      break;
    }
  }
  return text;
}
