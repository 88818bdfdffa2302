#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/korvel_unit.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

KorvelUnit Fed(const std::string& bytes) {
  KorvelUnit unit;
  for (char byte : bytes) unit.Receive(static_cast<std::uint8_t>(byte));
  return unit;
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
  EXPECT_THAT(Fed("AB\x1A\x1A" "CD").Frames(),
              ElementsAre(Bytes("AB\x1A"), Bytes("\x1A")));  // CD is unfinished
}

TEST(KorvelUnitTest, ShowsTheLastCompleteFrame) {
  const struct {
    std::string stream, first, second;  // the lines before padding to 28
  } cases[] = {
      {"unfinished", "", ""},
      {"Old\r\ntext\x1AHello\r\nWorld\x1AHalf a fr", "Hello", "World"},
      {"one\rtwo\nthree\x1A", "one", "two"},  // CR or LF alone breaks
      {"A\r\n\r\nB\x1A", "A", ""},
      {std::string(35, 'x') + "\r\nshort\x1A", std::string(28, 'x'), "short"},
      // Control bytes take no column.
      {std::string("A\x01\0B\x7F\xE9" "C\x1A", 8), "AB\xE9" "C", ""},
  };
  auto padded = [](const std::string& line) { return line + std::string(28 - line.size(), ' '); };
  for (const auto& c : cases) {
    EXPECT_THAT(Fed(c.stream).Display(), ElementsAre(padded(c.first), padded(c.second)))
        << c.stream;
  }
}

}  // namespace
