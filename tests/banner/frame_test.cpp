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

TEST(FrameTest, TheBlankFrameIsTwoLinesOfSpaces) {
  EXPECT_EQ(Sent(BlankFrame()), Spaces(28) + "\r\n" + Spaces(28) + kEnd);
}

struct MessageCase {
  const char* name;
  std::string text;
  std::string sent;
};

class MessageFrameTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(MessageFrameTest, SendsTheTextWithItsBreaksAndEnd) {
  EXPECT_EQ(Sent(MessageFrame(GetParam().text)), GetParam().sent);
}

const std::string kA28(28, 'A');
const std::string kB28(28, 'b');
const std::string k40 = "0123456789012345678901234567890123456789";

// 80 bytes with a line break of their own at 5.
std::string LongText() {
  std::string text;
  for (int i = 0; i < 80; ++i) text.push_back(static_cast<char>('!' + i));
  return text.replace(5, 2, "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MessageFrameTest,
    ::testing::Values(
        MessageCase{"Empty", "", kZero + Spaces(27) + "\r\n" + Spaces(28) + kEnd},
        MessageCase{"TwoFullLines", kA28 + "\r\n" + kB28, kA28 + "\r\n" + kB28 + kEnd},
        MessageCase{"FiveLetterFirstLine", "HELLO\r\nWORLD",
                    "HELLO\r\nWORLD" + kZero + Spaces(45) + kEnd},
        MessageCase{"FortyCharacterLine", k40,
                    k40.substr(0, 28) + "\r\n" + k40.substr(30) + kZero + Spaces(17) + kEnd},
        MessageCase{"CrAt29IsTheTextsOwnBreak", std::string(29, 'x') + "\rY",
                    std::string(29, 'x') + "\rY" + kZero + Spaces(26) + kEnd},
        MessageCase{"CrAt30IsTooLate", std::string(30, 'x') + "\r\nZ",
                    std::string(28, 'x') + "\r\n\r\nZ" + kZero + Spaces(24) + kEnd},
        MessageCase{"SubAt10", "0123456789\x1A" "after", "0123456789\x1A"},
        MessageCase{"LongerThanTheFrame", LongText(), LongText().substr(0, 58) + kEnd}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
