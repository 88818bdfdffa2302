#include "banner/frame.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Spaces(std::size_t count) { return std::string(count, ' '); }
const std::string kEnd = "\r\n\x1A";  // CR LF SUB at 58-60
const std::string kZero(1, '\0');     // the text's terminator

// What goes on the line: the frame up to and including its first SUB.
std::string Sent(const Frame& frame) {
  std::string sent;
  for (std::uint8_t byte : frame) {
    sent.push_back(static_cast<char>(byte));
    if (byte == kSub) break;
  }
  return sent;
}

TEST(FrameTest, FramesSendTheirTextWithItsBreaksAndEnd) {
  EXPECT_EQ(Sent(BlankFrame()), Spaces(28) + "\r\n" + Spaces(28) + kEnd);
  const std::string a28(28, 'A'), b28(28, 'b'), k40 = "0123456789012345678901234567890123456789";
  std::string longText;  // 80 bytes with a line break of their own at 5
  for (int i = 0; i < 80; ++i) longText.push_back(static_cast<char>('!' + i));
  longText.replace(5, 2, "\r\n");
  const struct {
    std::string text, sent;
  } cases[] = {
      {"", kZero + Spaces(27) + "\r\n" + Spaces(28) + kEnd},
      {a28 + "\r\n" + b28, a28 + "\r\n" + b28 + kEnd},
      {"HELLO\r\nWORLD", "HELLO\r\nWORLD" + kZero + Spaces(45) + kEnd},
      {k40, k40.substr(0, 28) + "\r\n" + k40.substr(30) + kZero + Spaces(17) + kEnd},
      {std::string(30, 'x') + "\r\nZ",
       std::string(28, 'x') + "\r\n\r\nZ" + kZero + Spaces(24) + kEnd},
      // The last place a CR of the text's own still keeps the first line.
      {std::string(29, 'x') + "\ryz", std::string(29, 'x') + "\ryz" + kZero + Spaces(25) + kEnd},
      {"0123456789\x1A" "after", "0123456789\x1A"},
      {longText, longText.substr(0, 58) + kEnd},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sent(MessageFrame(c.text)), c.sent) << c.text;
    EXPECT_EQ(SentLength(MessageFrame(c.text)), static_cast<int>(c.sent.size())) << c.text;
  }
  EXPECT_EQ(SentLength(BlankFrame()), kFrameSize);
}

}  // namespace
