#include "cli/dry_run.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "banner/frame.h"
#include "banner/frame_text.h"
#include "banner/unit_display.h"
#include "unitrun/json_string.h"

namespace {

constexpr int kBytesPerRow = 16;

std::vector<std::uint8_t> SentBytes(const Frame& frame) {
  return std::vector<std::uint8_t>(frame.begin(), frame.begin() + SentLength(frame));
}

// Latin-1 read as UTF-8: each byte the character of its number.
std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

// The message frame carries the text's terminating zero byte, as the
// utility's own frame does, when the text leaves room for it.
std::string TerminatorNote(const std::string& text, const Frame& frame) {
  const std::size_t at = text.size();
  if (at >= static_cast<std::size_t>(SentLength(frame)) || frame[at] != 0 ||
      text.find(static_cast<char>(kSub)) != std::string::npos) {
    return "";
  }
  return "  (the 00, byte " + std::to_string(at + 1) +
         ", ends the text, as in the utility's frames; the display skips it)\n";
}

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
  std::vector<StoodInByte> stood_in;
  std::string shown = DisplayBox(DisplayLinesFor(SentBytes(MessageFrame(text))), &stood_in);
  if (stood_in.empty()) return shown;
  // "· stands for a byte that is not printable ASCII, ...:"
  // "  line 1: 0xC9 at column 4, 0x85 at column 5"
  shown += std::string(kStandIn) +
           " stands for a byte that is not printable ASCII, which the unit shows from its own "
           "font:";
  int line = 0;
  for (const StoodInByte& at : stood_in) {
    shown += at.line != line ? "\n  line " + std::to_string(at.line) + ": " : std::string(", ");
    line = at.line;
    shown += ByteName(at.byte) + " at column " + std::to_string(at.column);
  }
  return shown + "\n";
}

std::string DryRunText(const std::string& text) {
  const Frame message = MessageFrame(text);
  return FrameText("blank frame", BlankFrame()) + FrameText("message frame", message) +
         TerminatorNote(text, message) + "the unit will show:\n" + DisplayText(text);
}

std::string DryRunJson(const std::string& text) {
  const std::vector<std::uint8_t> message = SentBytes(MessageFrame(text));
  const std::array<std::string, 2> lines = DisplayLinesFor(message);
  return "{\"blank_frame\":" + JsonString(HexBytes(SentBytes(BlankFrame()))) +
         ",\"message_frame\":" + JsonString(HexBytes(message)) + ",\"display\":[" +
         JsonString(Latin1ToUtf8(lines[0])) + "," + JsonString(Latin1ToUtf8(lines[1])) + "]}\n";
}
