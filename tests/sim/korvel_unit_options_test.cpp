#include "sim/korvel-unit/options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using ::testing::ElementsAre;

namespace {

struct Parsed {
  bool ok;
  ToolOptions options;
  std::string error;
};

Parsed Parse(const std::vector<std::string>& args) {
  Parsed parsed;
  parsed.ok = ParseOptions(args, parsed.options, parsed.error);
  return parsed;
}

// Each case is refused with the message given.
void ExpectRefused(const std::vector<std::vector<std::string>>& cases, const std::string& said) {
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    const Parsed p = Parse(args);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, said);
  }
}

TEST(KorvelUnitOptionsTest, ReadsEachOptionIntoItsSetting) {
  Parsed p = Parse({"--line-speed", "9600", "--answer-delay=250", "--answer-byte", "0x15",
                    "--extra", "2", "--stale", "15 3F", "--stale=0x21", "--no-answer",
                    "--path-file", "path", "--log=log", "--frames", "frames", "--count", "3",
                    "--no-spin", "-h"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.line_speed, 9600);
  EXPECT_EQ(p.options.behaviour.answer_delay_ms, 250);
  EXPECT_EQ(p.options.behaviour.answer_byte, 0x15);
  EXPECT_EQ(p.options.behaviour.extra_answer_bytes, 2);
  EXPECT_THAT(p.options.behaviour.stale_bytes, ElementsAre(0x15, 0x3F, 0x21));  // each adds
  EXPECT_FALSE(p.options.behaviour.answers);
  EXPECT_EQ(p.options.path_file, "path");
  EXPECT_EQ(p.options.log_file, "log");
  EXPECT_EQ(p.options.frames_file, "frames");
  EXPECT_EQ(p.options.count, 3);
  EXPECT_TRUE(p.options.no_spin);
  EXPECT_TRUE(p.options.help);

  // A value said again replaces the first.
  p = Parse({"--line-speed", "300", "--log", "a", "--line-speed=1200", "--log", "b"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.line_speed, 1200);
  EXPECT_EQ(p.options.log_file, "b");
}

TEST(KorvelUnitOptionsTest, TakesANumberFromLowestToHighest) {
  const struct {
    const char* name;
    const char* lowest;
    const char* highest;
    std::string wants;
  } numbers[] = {
      {"--line-speed", "50", "4000000", "a baud rate from 50 to 4000000"},
      {"--answer-delay", "0", "600000", "milliseconds from 0 to 600000"},
      {"--extra", "0", "4096", "a count from 0 to 4096"},
      {"--count", "1", "1000000000", "a number of frames of at least 1"},
  };
  for (const auto& number : numbers) {
    const std::string name = number.name;
    EXPECT_TRUE(Parse({name, number.lowest, name, number.highest}).ok) << name;
    const std::string below = std::to_string(std::stol(number.lowest) - 1);
    const std::string above = std::to_string(std::stol(number.highest) + 1);
    for (const std::string& wrong : {below, above, std::string("12x"), std::string("+1"),
                                     std::string(" 1"), std::string("99999999999999999999"),
                                     std::string("")}) {
      ExpectRefused({{name, wrong}}, name + " wants " + number.wants + ", not '" + wrong + "'");
    }
  }
}

TEST(KorvelUnitOptionsTest, TakesBytesInHex) {
  Parsed p = Parse({"--answer-byte", "ff", "--stale", "0x15,0x3f", "--stale", "0A:0b"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.behaviour.answer_byte, 0xFF);
  EXPECT_THAT(p.options.behaviour.stale_bytes, ElementsAre(0x15, 0x3F, 0x0A, 0x0B));

  for (const std::string wrong : {"6", "0G", "06 07", "0x", ""}) {
    ExpectRefused({{"--answer-byte", wrong}},
                  "--answer-byte wants one byte in hex, such as 06, not '" + wrong + "'");
  }
  for (const std::string wrong : {"15 3", "xyz", ",", "15 3F!", ""}) {
    ExpectRefused({{"--stale", wrong}},
                  "--stale wants bytes in hex, such as \"15 3F\", not '" + wrong + "'");
  }
}

TEST(KorvelUnitOptionsTest, SaysWhatIsWrongWithAnOption) {
  ExpectRefused({{"--frob"}}, "unknown option '--frob'");
  ExpectRefused({{"--frob=1"}}, "unknown option '--frob=1'");
  ExpectRefused({{"HELLO", "--line-speed", "x"}}, "unknown option 'HELLO'");  // the first one
  ExpectRefused({{"--"}}, "unknown option '--'");
  ExpectRefused({{"-"}}, "unknown option '-'");
  ExpectRefused({{"-x"}}, "unknown option '-x'");
  ExpectRefused({{"--help=1"}}, "--help takes no value");
  ExpectRefused({{"--no-answer=yes"}}, "--no-answer takes no value");
  ExpectRefused({{"--log"}, {"--log="}, {"--log", ""}}, "--log needs a value");
  ExpectRefused({{"--path-file="}}, "--path-file needs a value");
  ExpectRefused({{"--frames", ""}}, "--frames needs a value");
  ExpectRefused({{"--extra", "1", "--count"}}, "--count needs a value");
}

}  // namespace
