#include "cli/message_text.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/dry_run.h"
#include "cli/escaped_text.h"

namespace {

struct Built {
  bool ok;
  std::string text;
  std::string refusal;
};

Built FromLines(const std::vector<std::string>& lines) {
  CommandLine line;
  line.lines = lines;
  Built built;
  built.ok = MessageText(line, &built.text, &built.refusal);
  return built;
}

Built FromText(const std::string& escaped) {
  CommandLine line;
  line.source = MessageSource::kText;
  line.text = escaped;
  Built built;
  built.ok = MessageText(line, &built.text, &built.refusal);
  return built;
}

TEST(MessageTextTest, LinesAreJoinedAsTypedLinesAre) {
  EXPECT_EQ(FromLines({}).text, "");
  EXPECT_EQ(FromLines({"HELLO"}).text, "HELLO");
  EXPECT_EQ(FromLines({"", "second"}).text, "\r\nsecond");
  const std::string full(28, '~');
  const std::string second = " " + std::string(27, '!');
  EXPECT_EQ(FromLines({full, second}).text, full + "\r\n" + second);
}

TEST(MessageTextTest, LinesThatDoNotFitOrCannotBeTypedAreRefused) {
  const struct {
    std::vector<std::string> lines;
    std::string refusal;
  } cases[] = {
      {{std::string(29, 'x')}, "line 1 is 29 characters, 1 more than the 28"},
      {{"a", "b", "c"}, "\"c\" would be a third line"},
      {{"ok", "del\x7F"}, "line 2, character 4: the byte 0x7F"},
      {{"\x1F"}, "line 1, character 1: the byte 0x1F"},
      {{"\xE9t\xE9"}, "line 1, character 1: the byte 0xE9"},
      {{"two\r\nlines"}, "line 1, character 4: the byte 0x0D"},
  };
  for (const auto& c : cases) {
    const Built built = FromLines(c.lines);
    EXPECT_FALSE(built.ok) << c.refusal;
    EXPECT_EQ(built.refusal.substr(0, c.refusal.size()), c.refusal);
  }
}

TEST(MessageTextTest, EscapedTextGivesItsExactBytesUpToTheFramesText) {
  EXPECT_EQ(FromText("A\\r\\nB\\\\C\\x1a\\x00\\xFF").text, std::string("A\r\nB\\C\x1A\0\xFF", 9));
  EXPECT_EQ(FromText("plain \"quotes\" and ~").text, "plain \"quotes\" and ~");

  std::string fifty_eight;
  for (int i = 0; i < 58; ++i) fifty_eight += "\\x41";
  EXPECT_EQ(FromText(fifty_eight).text, std::string(58, 'A'));
  const Built long_text = FromText(fifty_eight + "\\n");
  EXPECT_FALSE(long_text.ok);
  EXPECT_EQ(long_text.refusal, "--text is 59 bytes, 1 more than the 58 a frame keeps");

  std::string bytes, error;
  for (const char* wrong : {"\\", "\\t", "\\x", "\\x4", "\\xG0"}) {
    EXPECT_FALSE(Unescape(wrong, &bytes, &error)) << wrong;
    EXPECT_EQ(error.rfind("character 1: ", 0), 0u) << error;
  }
}

TEST(DryRunTest, ShowsBothFramesAsTheyGoOutAndTheDisplay) {
  EXPECT_EQ(DryRunText("HI\x1A" "after"),
            "blank frame, 61 bytes:\n"
            "  20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20\n"
            "  20 20 20 20 20 20 20 20 20 20 20 20 0D 0A 20 20\n"
            "  20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20\n"
            "  20 20 20 20 20 20 20 20 20 20 0D 0A 1A\n"
            "message frame, 3 bytes:\n"
            "  48 49 1A\n"
            "the unit will show:\n"
            "+----------------------------+\n"
            "|HI                          |\n"
            "|                            |\n"
            "+----------------------------+\n");
}

}  // namespace
