#include "cli/dry_run.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "banner/frame.h"
#include "banner/frame_text.h"
#include "banner/unit_display.h"

namespace {

constexpr int kBytesPerRow = 16;

std::string FrameText(const char* name, const Frame& frame) {
  const int length = SentLength(frame);
  std::string text = std::string(name) + ", " + std::to_string(length) + " bytes:\n";
  for (int row = 0; row < length; row += kBytesPerRow) {
    const int end = std::min(row + kBytesPerRow, length);
    text += "  " + HexBytes(std::vector<std::uint8_t>(frame.begin() + row, frame.begin() + end)) +
            "\n";
  }
  return text;
}

}  // namespace

std::string DisplayText(const std::string& text) {
  const Frame message = MessageFrame(text);
  const std::vector<std::uint8_t> sent(message.begin(), message.begin() + SentLength(message));
  return DisplayBox(DisplayLinesFor(sent));
}

std::string DryRunText(const std::string& text) {
  return FrameText("blank frame", BlankFrame()) + FrameText("message frame", MessageFrame(text)) +
         "the unit will show:\n" + DisplayText(text);
}
