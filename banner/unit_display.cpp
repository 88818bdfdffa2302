#include "banner/unit_display.h"

#include <cstddef>

#include "banner/frame.h"

namespace {

bool Shown(std::uint8_t byte) {
  return (byte >= 0x20 && byte <= 0x7E) || byte >= 0x80;
}

}  // namespace

std::array<std::string, 2> DisplayLinesFor(const std::vector<std::uint8_t>& frame) {
  std::array<std::string, 2> lines;
  std::size_t line = 0;
  bool after_cr = false;
  for (std::uint8_t byte : frame) {
    if (byte == kSub) break;
    if (byte == kCr || (byte == kLf && !after_cr)) {
      ++line;
    } else if (Shown(byte) && line < lines.size() &&
               lines[line].size() < static_cast<std::size_t>(kLineLength)) {
      lines[line].push_back(static_cast<char>(byte));
    }
    after_cr = byte == kCr;
  }
  for (auto& text : lines) text.resize(kLineLength, ' ');
  return lines;
}
