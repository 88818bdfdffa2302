#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/korvel_unit.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

void Feed(KorvelUnit& unit, const std::string& bytes) {
  for (char byte : bytes) unit.Receive(static_cast<std::uint8_t>(byte));
}

TEST(KorvelUnitTest, AnswersEachByteAsItsBehaviourSays) {
  EXPECT_THAT(KorvelUnit().Receive('A'), ElementsAre(0x06));

  UnitBehaviour chatty;
  chatty.answer_byte = 0x15;
  chatty.extra_answer_bytes = 1;
  chatty.stale_bytes = {0x21, 0x22};
  KorvelUnit unit(chatty);
  EXPECT_THAT(unit.Receive('x'), ElementsAre(0x15, 0x15));
  // Only the end of a frame brings the stale bytes, after the answer.
  EXPECT_THAT(unit.Receive(0x1A), ElementsAre(0x15, 0x15, 0x21, 0x22));

  UnitBehaviour silent;
  silent.answers = false;
  KorvelUnit dead(silent);
  EXPECT_THAT(dead.Receive(0x1A), IsEmpty());
  EXPECT_THAT(dead.Received(), ElementsAre(0x1A));  // it still heard the byte
}

TEST(KorvelUnitTest, CutsTheStreamAfterEachEndByte) {
  KorvelUnit unit;
  Feed(unit, "AB\x1A\x1A" "CD");
  EXPECT_THAT(unit.Frames(), ElementsAre(Bytes("AB\x1A"), Bytes("\x1A")));  // CD is unfinished
}

struct DisplayCase {
  const char* name;
  std::string stream;
  std::string first, second;  // before padding to 28
};

class KorvelUnitDisplayTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(KorvelUnitDisplayTest, ShowsTheLastCompleteFrame) {
  const DisplayCase& c = GetParam();
  KorvelUnit unit;
  Feed(unit, c.stream);
  EXPECT_THAT(unit.Display(), ElementsAre(c.first + std::string(28 - c.first.size(), ' '),
                                          c.second + std::string(28 - c.second.size(), ' ')));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, KorvelUnitDisplayTest,
    ::testing::Values(
        DisplayCase{"NoFrameYet", "unfinished", "", ""},
        DisplayCase{"LastOfSeveral", "Old\r\ntext\x1AHello\r\nWorld\x1AHalf a fr", "Hello", "World"},
        DisplayCase{"CrOrLfAloneBreaks", "one\rtwo\nthree\x1A", "one", "two"},
        DisplayCase{"EmptyLine", "A\r\n\r\nB\x1A", "A", ""},
        DisplayCase{"LongLineCut", std::string(35, 'x') + "\r\nshort\x1A", std::string(28, 'x'),
                    "short"},
        DisplayCase{"ControlBytesTakeNoColumn", std::string("A\x01\0B\x7F\xE9" "C\x1A", 8),
                    "AB\xE9" "C", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
