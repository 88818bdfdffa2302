#include "banner/frame_text.h"

#include <cstdio>


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

std::string DisplayBox(const std::array<std::string, 2>& lines,
                       std::vector<StoodInByte>* stood_in) {
  std::size_t width = 0;
  for (const auto& line : lines) width = line.size() > width ? line.size() : width;
  const std::string edge = "+" + std::string(width, '-') + "+\n";
  std::string box = edge;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    box += "|";
    for (std::size_t i = 0; i < lines[n].size(); ++i) {
      const auto byte = static_cast<std::uint8_t>(lines[n][i]);
      if (byte >= 0x20 && byte <= 0x7E) {
        box.push_back(static_cast<char>(byte));
        continue;
      }
      box += kStandIn;
      if (stood_in != nullptr) {
        stood_in->push_back({static_cast<int>(n) + 1, static_cast<int>(i) + 1, byte});
      }
    }
    box += std::string(width - lines[n].size(), ' ') + "|\n";
  }
  return box + edge;
}

std::string ByteName(std::uint8_t byte) {
  char name[8];
  std::snprintf(name, sizeof name, "0x%02X", static_cast<unsigned>(byte));
  return name;
}
