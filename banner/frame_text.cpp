#include "banner/frame_text.h"

#include <cstdio>

namespace {

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(bytes[i]));
    if (i > 0) text.push_back(' ');
    text += pair;
  }
  return text;
}

std::string DisplayBox(const std::array<std::string, 2>& lines) {
  std::size_t width = 0;
  for (const auto& line : lines) width = line.size() > width ? line.size() : width;
  const std::string edge = "+" + std::string(width, '-') + "+\n";
  std::string box = edge;
  for (const auto& line : lines) {
    box += "|" + Latin1ToUtf8(line) + std::string(width - line.size(), ' ') + "|\n";
  }
  return box + edge;
}

std::string ByteName(std::uint8_t byte) {
  char name[8];
  std::snprintf(name, sizeof name, "0x%02X", static_cast<unsigned>(byte));
  return name;
}
