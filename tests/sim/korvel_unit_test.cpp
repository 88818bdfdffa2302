#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/korvel_unit.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

void Feed(KorvelUnit& unit, const std::string& text) {
  for (unsigned char c : text) unit.Receive(c);
}

std::string Padded(const std::string& text) { return text + std::string(28 - text.size(), ' '); }

// A frame as the programming run sends it for a text: the text, its zero
// byte, spaces up to 57, CR LF at 28/29 when the text has no CR there, then
// CR LF SUB.
std::string FrameFor(const std::string& text) {
  std::string frame(61, ' ');
  frame.replace(0, text.size(), text);
  if (text.size() < 61) frame[text.size()] = '\0';
  if (frame.substr(0, 30).find('\r') == std::string::npos) frame.replace(28, 2, "\r\n");
  frame.replace(58, 3, "\r\n\x1A");
  return frame;
}

TEST(KorvelUnitAnswerTest, AHealthyUnitAnswersEachByteOnce) {
  KorvelUnit unit;
  EXPECT_THAT(unit.Receive('A'), ElementsAre(0x06));
  EXPECT_THAT(unit.Receive(0x1A), ElementsAre(0x06));
  EXPECT_THAT(unit.Received(), ElementsAre('A', 0x1A));
}

TEST(KorvelUnitAnswerTest, MisbehavioursShapeTheAnswer) {
  UnitBehaviour chatty;
  chatty.answer_byte = 0x15;
  chatty.extra_answer_bytes = 2;
  chatty.stale_bytes = {0x21, 0x22};
  KorvelUnit unit(chatty);
  EXPECT_THAT(unit.Receive('x'), ElementsAre(0x15, 0x15, 0x15));
  // Only the end of a frame brings the stale bytes, after the answer.
  EXPECT_THAT(unit.Receive(0x1A), ElementsAre(0x15, 0x15, 0x15, 0x21, 0x22));

  UnitBehaviour silent;
  silent.answers = false;
  silent.stale_bytes = {0x21};
  KorvelUnit dead(silent);
  EXPECT_THAT(dead.Receive(0x1A), IsEmpty());
  EXPECT_THAT(dead.Received(), ElementsAre(0x1A));  // it still heard the byte

  UnitBehaviour odd;
  odd.extra_answer_bytes = -3;
  EXPECT_THAT(KorvelUnit(odd).Receive('y'), ElementsAre(0x06));
}

TEST(KorvelUnitFramesTest, TheStreamIsCutAfterEachEndByte) {
  KorvelUnit unit;
  EXPECT_THAT(unit.Frames(), IsEmpty());
  Feed(unit, "AB\x1A");
  Feed(unit, std::string("\x1A", 1));
  Feed(unit, "CD");
  EXPECT_THAT(unit.Frames(), ElementsAre(Bytes("AB\x1A"), Bytes("\x1A")));
  Feed(unit, "\x1A");
  EXPECT_EQ(unit.Frames().size(), 3u);
  EXPECT_EQ(unit.Frames().back(), Bytes("CD\x1A"));
}

TEST(KorvelUnitDisplayTest, IsBlankBeforeAnyFrame) {
  KorvelUnit unit;
  Feed(unit, "unfinished");
  EXPECT_THAT(unit.Display(), ElementsAre(Padded(""), Padded("")));
}

TEST(KorvelUnitDisplayTest, ShowsTheLastCompleteFrame) {
  KorvelUnit unit;
  Feed(unit, FrameFor(""));
  Feed(unit, FrameFor(std::string("Hello\r\nWorld")));
  Feed(unit, "Half a fram");
  EXPECT_THAT(unit.Display(), ElementsAre(Padded("Hello"), Padded("World")));
}

TEST(KorvelUnitDisplayTest, TwoFullLines) {
  const std::string first = "ABCDEFGHIJKLMNOPQRSTUVWXYZ12";
  const std::string second = "abcdefghijklmnopqrstuvwxyz34";
  KorvelUnit unit;
  Feed(unit, FrameFor(first + "\r\n" + second));
  EXPECT_THAT(unit.Display(), ElementsAre(first, second));
}

TEST(KorvelUnitDisplayTest, ABlankFrameClearsTheDisplay) {
  KorvelUnit unit;
  Feed(unit, FrameFor("Old\r\ntext"));
  std::string blank(61, ' ');
  blank.replace(28, 2, "\r\n");
  blank.replace(58, 3, "\r\n\x1A");
  Feed(unit, blank);
  EXPECT_THAT(unit.Display(), ElementsAre(Padded(""), Padded("")));
}

TEST(KorvelUnitDisplayTest, AForcedBreakCutsALongFirstLine) {
  const std::string text = "0123456789012345678901234567890123456789";  // 40 characters
  KorvelUnit unit;
  Feed(unit, FrameFor(text));
  EXPECT_THAT(unit.Display(), ElementsAre(text.substr(0, 28), Padded(text.substr(30))));
}

TEST(KorvelUnitDisplayTest, ALineLongerThanTheDisplayIsCut) {
  KorvelUnit unit;
  Feed(unit, std::string(35, 'x') + "\r\nshort\r\n\x1A");
  EXPECT_THAT(unit.Display(), ElementsAre(std::string(28, 'x'), Padded("short")));
}

TEST(KorvelUnitDisplayTest, ACrOrAnLfAloneBreaksTheLine) {
  KorvelUnit unit;
  Feed(unit, "one\rtwo\r\n\x1A");
  EXPECT_THAT(unit.Display(), ElementsAre(Padded("one"), Padded("two")));
  Feed(unit, "three\nfour\x1A");
  EXPECT_THAT(unit.Display(), ElementsAre(Padded("three"), Padded("four")));
}

TEST(KorvelUnitDisplayTest, AnEmptyLineStaysEmptyAndLaterLinesAreNotShown) {
  KorvelUnit unit;
  Feed(unit, "A\r\n\r\nB\r\n\x1A");
  EXPECT_THAT(unit.Display(), ElementsAre(Padded("A"), Padded("")));
}

TEST(KorvelUnitDisplayTest, ControlBytesTakeNoColumnButHighBytesDo) {
  KorvelUnit unit;
  Feed(unit, std::string("A\x01\x00" "B\x7F\xE9" "C\x1A", 8));
  EXPECT_THAT(unit.Display(), ElementsAre(Padded("AB\xE9" "C"), Padded("")));
}

TEST(KorvelUnitDisplayTest, AnEarlyEndByteShowsWhatCameBeforeIt) {
  KorvelUnit unit;
  Feed(unit, "0123456789\x1A");
  EXPECT_THAT(unit.Display(), ElementsAre(Padded("0123456789"), Padded("")));
}

}  // namespace
