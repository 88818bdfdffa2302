#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/korvel-unit/frame_text.h"
#include "tools/korvel-unit/options.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

struct Parsed {
  bool ok;
  ToolOptions options;
  std::string error;
};

Parsed Parse(std::vector<std::string> args) {
  Parsed parsed{};
  parsed.ok = ParseOptions(args, parsed.options, parsed.error);
  return parsed;
}

TEST(KorvelUnitOptionsTest, NoArgumentsGiveAHealthyUnitOnAnInstantLine) {
  const Parsed parsed = Parse({});
  ASSERT_TRUE(parsed.ok);
  EXPECT_TRUE(parsed.options.behaviour.answers);
  EXPECT_EQ(parsed.options.behaviour.answer_byte, 0x06);
  EXPECT_EQ(parsed.options.line_speed, 0);
  EXPECT_EQ(parsed.options.count, 0);
  EXPECT_FALSE(parsed.options.help);
}

TEST(KorvelUnitOptionsTest, EveryOptionTakesItsValueSeparateOrJoined) {
  const Parsed parsed = Parse({"--line-speed", "9600", "--answer-delay=250", "--extra", "3",
                               "--answer-byte", "0x15", "--stale", "15 3f", "--stale=0xA0,01",
                               "--no-answer", "--path-file", "p", "--log=l", "--frames", "f",
                               "--count", "2"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const ToolOptions& o = parsed.options;
  EXPECT_EQ(o.line_speed, 9600);
  EXPECT_EQ(o.behaviour.answer_delay_ms, 250);
  EXPECT_EQ(o.behaviour.extra_answer_bytes, 3);
  EXPECT_EQ(o.behaviour.answer_byte, 0x15);
  EXPECT_THAT(o.behaviour.stale_bytes, ElementsAre(0x15, 0x3F, 0xA0, 0x01));
  EXPECT_FALSE(o.behaviour.answers);
  EXPECT_EQ(o.path_file, "p");
  EXPECT_EQ(o.log_file, "l");
  EXPECT_EQ(o.frames_file, "f");
  EXPECT_EQ(o.count, 2);
}

TEST(KorvelUnitOptionsTest, MistakesAreNamed) {
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--count"}, "--count needs a value"},
      {{"--count", "0"}, "--count"},
      {{"--line-speed", "fast"}, "--line-speed"},
      {{"--line-speed", "-9600"}, "--line-speed"},
      {{"--answer-delay", "12ms"}, "--answer-delay"},
      {{"--extra", "99999999999999999999"}, "--extra"},
      {{"--stale", "1"}, "--stale"},
      {{"--stale", "zz"}, "--stale"},
      {{"--stale", ""}, "--stale"},
      {{"--answer-byte", "0615"}, "--answer-byte"},
      {{"--log="}, "--log needs a value"},
      {{"--no-answer=yes"}, "--no-answer takes no value"},
  };
  for (const Case& c : cases) {
    const Parsed parsed = Parse(c.args);
    EXPECT_FALSE(parsed.ok) << c.args[0];
    EXPECT_THAT(parsed.error, HasSubstr(c.says)) << c.args[0];
  }
}

TEST(KorvelUnitOptionsTest, HelpIsAskedForAndTheUsageNamesEveryOption) {
  EXPECT_TRUE(Parse({"--help"}).options.help);
  EXPECT_TRUE(Parse({"-h"}).options.help);
  const std::string usage = UsageText();
  for (const char* name : {"--line-speed", "--no-answer", "--answer-delay", "--answer-byte",
                           "--extra", "--stale", "--path-file", "--log", "--frames", "--count",
                           "--help", "CTS"}) {
    EXPECT_THAT(usage, HasSubstr(name));
  }
}

TEST(FrameTextTest, HexBytesArePairsSetApartBySpaces) {
  EXPECT_EQ(HexBytes({0x20, 0x0D, 0x0A, 0x1A, 0xFF}), "20 0D 0A 1A FF");
  EXPECT_THAT(HexBytes({}), IsEmpty());
}

TEST(FrameTextTest, TheBoxFramesBothLinesAndShowsHighBytesAsLatin1) {
  EXPECT_EQ(DisplayBox({"ab", "\xE9z"}),
            "+--+\n"
            "|ab|\n"
            "|\xC3\xA9z|\n"
            "+--+\n");
}

}  // namespace
