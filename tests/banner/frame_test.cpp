#include "banner/frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The bytes a frame puts on the line: up to and including its first SUB.
std::vector<std::uint8_t> SentPart(const Frame& frame) {
  std::vector<std::uint8_t> sent;
  for (std::uint8_t byte : frame) {
    sent.push_back(byte);
    if (byte == kSub) break;
  }
  return sent;
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

void ExpectLineEnds(const Frame& frame) {
  EXPECT_EQ(frame[58], kCr);
  EXPECT_EQ(frame[59], kLf);
  EXPECT_EQ(frame[60], kSub);
}

TEST(BlankFrame, IsTwoLinesOfSpacesWithBreaksAndEnd) {
  const Frame frame = BlankFrame();
  for (int i = 0; i < kFrameSize; ++i) {
    SCOPED_TRACE(i);
    if (i == 28 || i == 58) {
      EXPECT_EQ(frame[i], kCr);
    } else if (i == 29 || i == 59) {
      EXPECT_EQ(frame[i], kLf);
    } else if (i == 60) {
      EXPECT_EQ(frame[i], kSub);
    } else {
      EXPECT_EQ(frame[i], kSpace);
    }
  }
  EXPECT_EQ(SentPart(frame).size(), 61u);
}

TEST(MessageFrame, EmptyTextIsTerminatorThenSpacesWithForcedBreak) {
  const Frame frame = MessageFrame("");
  EXPECT_EQ(frame[0], 0);
  EXPECT_EQ(frame[28], kCr);
  EXPECT_EQ(frame[29], kLf);
  ExpectLineEnds(frame);
  for (int i = 1; i < 58; ++i) {
    if (i == 28 || i == 29) continue;
    EXPECT_EQ(frame[i], kSpace) << "position " << i;
  }
  EXPECT_EQ(SentPart(frame).size(), 61u);
}

TEST(MessageFrame, TwoFullLinesGetOnlyTheEndAppended) {
  const std::string first(28, 'A');
  const std::string second(28, 'b');
  const std::string text = first + "\r\n" + second;
  ASSERT_EQ(text.size(), 58u);

  std::vector<std::uint8_t> expected = Bytes(text);
  expected.insert(expected.end(), {kCr, kLf, kSub});
  EXPECT_EQ(SentPart(MessageFrame(text)), expected);
}

TEST(MessageFrame, ShortFirstLineKeepsItsOwnBreak) {
  const std::string text = "HELLO\r\nWORLD";
  const Frame frame = MessageFrame(text);

  std::vector<std::uint8_t> head(frame.begin(), frame.begin() + text.size());
  EXPECT_EQ(head, Bytes(text));
  EXPECT_EQ(frame[text.size()], 0);
  // No forced break: 28 and 29 are fill like the rest of the second line.
  EXPECT_EQ(frame[28], kSpace);
  EXPECT_EQ(frame[29], kSpace);
  ExpectLineEnds(frame);
}

TEST(MessageFrame, LongSingleLineIsCutAfterTwentyEightCharacters) {
  std::string text;
  for (int i = 0; i < 40; ++i) text.push_back(static_cast<char>('A' + i % 26));
  const Frame frame = MessageFrame(text);

  for (int i = 0; i < 40; ++i) {
    if (i == 28) {
      EXPECT_EQ(frame[i], kCr);
    } else if (i == 29) {
      EXPECT_EQ(frame[i], kLf);
    } else {
      EXPECT_EQ(frame[i], static_cast<std::uint8_t>(text[i])) << "position " << i;
    }
  }
  EXPECT_EQ(frame[40], 0);
  ExpectLineEnds(frame);
}

TEST(MessageFrame, OnlyACrWithinTheFirstThirtyPositionsCountsAsOwnBreak) {
  std::string late(29, 'x');
  late += "\rY";  // CR at 29, no LF after it: the text's own break
  Frame frame = MessageFrame(late);
  EXPECT_EQ(frame[28], 'x');
  EXPECT_EQ(frame[29], kCr);
  EXPECT_EQ(frame[30], 'Y');

  std::string too_late(30, 'x');
  too_late += "\r\nZ";  // CR at 30: the break is forced at 28/29 as well
  frame = MessageFrame(too_late);
  EXPECT_EQ(frame[28], kCr);
  EXPECT_EQ(frame[29], kLf);
  EXPECT_EQ(frame[30], kCr);
  EXPECT_EQ(frame[32], 'Z');
}

TEST(MessageFrame, EarlySubEndsWhatIsSent) {
  std::string text = "0123456789";
  text.push_back(static_cast<char>(kSub));
  text += "after";
  const std::vector<std::uint8_t> sent = SentPart(MessageFrame(text));
  EXPECT_EQ(sent, Bytes(text.substr(0, 11)));
}

TEST(MessageFrame, TextLongerThanTheFrameLosesItsTail) {
  std::string text;
  for (int i = 0; i < 80; ++i) text.push_back(static_cast<char>('!' + i));
  text[5] = '\r';
  text[6] = '\n';
  const Frame frame = MessageFrame(text);

  for (int i = 0; i < 58; ++i) {
    EXPECT_EQ(frame[i], static_cast<std::uint8_t>(text[i])) << "position " << i;
  }
  ExpectLineEnds(frame);
  EXPECT_EQ(std::count(frame.begin(), frame.end(), std::uint8_t{0}), 0);
}

TEST(MessageFrame, ShortTextNeverGainsControlBytesFromTheFill) {
  const std::string texts[] = {"", "A", "AB\r\nCD", std::string(27, 'q')};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const Frame frame = MessageFrame(text);
    for (std::size_t i = text.size() + 1; i < 58; ++i) {
      if (i == 28 || i == 29) continue;
      EXPECT_EQ(frame[i], kSpace) << "position " << i;
    }
    EXPECT_EQ(std::count(frame.begin(), frame.end(), kSub), 1);
  }
}

}  // namespace
