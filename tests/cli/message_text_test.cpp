#include "cli/message_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/dry_run.h"

namespace {

struct Built {
  bool ok;
  std::string text;
  std::string refusal;
};

Built Message(const CommandLine& line) {
  Built built;
  built.ok = MessageText(line, &built.text, &built.refusal);
  return built;
}

Built FromLines(const std::vector<std::string>& lines) {
  CommandLine line;
  line.lines = lines;
  return Message(line);
}

Built FromText(const std::string& escaped) {
  CommandLine line;
  line.source = MessageSource::kText;
  line.text = escaped;
  return Message(line);
}

std::string Escaped(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "\\x41";
  return text;
}

TEST(MessageTextTest, LinesAreJoinedAsTypedLinesAreAndEscapedTextGivesItsExactBytes) {
  EXPECT_EQ(FromLines({}).text, "");
  EXPECT_EQ(FromLines({"HELLO"}).text, "HELLO");
  EXPECT_EQ(FromLines({"", "second"}).text, "\r\nsecond");
  const std::string full(28, '~');
  const std::string second = " " + std::string(27, '!');
  EXPECT_EQ(FromLines({full, second}).text, full + "\r\n" + second);

  EXPECT_EQ(FromText("A\\r\\nB\\\\C\\x1a\\x00\\xFF").text, std::string("A\r\nB\\C\x1A\0\xFF", 9));
  EXPECT_EQ(FromText("plain \"quotes\" and ~").text, "plain \"quotes\" and ~");
  EXPECT_EQ(FromText(Escaped(58)).text, std::string(58, 'A'));
}

TEST(MessageTextTest, WhatDoesNotFitOrCannotBeTypedIsRefusedSayingWhatAndWhere) {
  const struct {
    Built built;
    std::string refusal;
  } cases[] = {
      {FromLines({std::string(29, 'x')}), "line 1 is 29 characters, 1 more than the 28"},
      {FromLines({"one", std::string(30, 'x')}), "line 2 is 30 characters, 2 more"},
      {FromLines({"a", "b", "c"}), "\"c\" would be a third line"},
      {FromLines({"ok", "del\x7F"}), "line 2, character 4: the byte 0x7F"},
      {FromLines({"\x1F"}), "line 1, character 1: the byte 0x1F"},
      {FromLines({"\xE9t\xE9"}), "line 1, character 1: the byte 0xE9"},
      {FromLines({"two\r\nlines"}), "line 1, character 4: the byte 0x0D"},
      {FromText(Escaped(58) + "\\n"), "--text is 59 bytes, 1 more than the 58 a frame keeps"},
      {FromText("ab\\q"), "--text, character 3: \\q is no escape"},
      {FromText("\\t"), "--text, character 1: \\t is no escape"},
      {FromText("ab\\x4"), "--text, character 3: \\x needs two hex digits"},
      {FromText("\\x"), "--text, character 1: \\x needs two hex digits"},
      {FromText("\\xG0"), "--text, character 1: \\x needs two hex digits"},
      {FromText("ab\\"), "--text, character 3: a backslash ends the text"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(c.built.ok) << c.refusal;
    EXPECT_EQ(c.built.refusal.substr(0, c.refusal.size()), c.refusal);
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
