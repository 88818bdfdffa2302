#include "cli/message_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/dry_run.h"

namespace {

// The message text of a command line, which must not be refused. That a
// refusal sends nothing is korvel_program_test's, through the program.
std::string Text(const CommandLine& line) {
  Message message;
  std::string refusal;
  EXPECT_TRUE(MessageText(line, &message, &refusal)) << refusal;
  return message.text;
}

std::string FromLines(const std::vector<std::string>& lines) {
  CommandLine line;
  line.lines = lines;
  return Text(line);
}

std::string FromText(const std::string& escaped) {
  CommandLine line;
  line.source = MessageSource::kText;
  line.text = escaped;
  return Text(line);
}

TEST(MessageTextTest, LinesAreJoinedAsTypedLinesAreAndEscapedTextGivesItsExactBytes) {
  EXPECT_EQ(FromLines({}), "");
  EXPECT_EQ(FromLines({"HELLO"}), "HELLO");
  EXPECT_EQ(FromLines({"", "second"}), "\r\nsecond");
  const std::string full(28, '~');
  const std::string second = " " + std::string(27, '!');
  EXPECT_EQ(FromLines({full, second}), full + "\r\n" + second);

  EXPECT_EQ(FromText("A\\r\\nB\\\\C\\x1a\\x00\\xFF"), std::string("A\r\nB\\C\x1A\0\xFF", 9));
  EXPECT_EQ(FromText("plain \"quotes\" and ~"), "plain \"quotes\" and ~");
  std::string fifty_eight;  // as many as a frame keeps
  for (int i = 0; i < 58; ++i) fifty_eight += "\\x41";
  EXPECT_EQ(FromText(fifty_eight), std::string(58, 'A'));
}

// Why a command line's message is refused; empty when it is not.
std::string Refusal(const CommandLine& line) {
  Message message;
  std::string refusal;
  return MessageText(line, &message, &refusal) ? "" : refusal;
}

TEST(MessageTextTest, EachRefusalSaysWhatAndWhere) {
  const struct {
    std::vector<std::string> lines;
    std::string says;
  } lines[] = {
      {{std::string(29, 'A')}, "line 1 is 29 characters, 1 more than the 28"},
      {{"one", std::string(30, 'B')}, "line 2 is 30 characters, 2 more"},
      {{"one", "two", "three"}, "\"three\" would be a third line; the display has two"},
      {{"tab\there"}, "line 1, character 4: the byte 0x09 cannot be typed"},
      {{"ok", "del\x7f"}, "line 2, character 4: the byte 0x7F"},
      // A letter typed in UTF-8 is named, with the byte to write instead.
      {{"ok", "caf\xC3\xA9 'x'\\"},
       "line 2, character 4: '\xC3\xA9' is 2 bytes of UTF-8 (C3 A9), and a message takes only "
       "what can be typed (printable ASCII, space to ~); the unit's own byte for it is 0xE9; "
       "write it with --text 'ok\\r\\ncaf\\xE9 '\\''x'\\''\\\\'"},
      {{"\xE2\x82\xAC 5"},
       "'\xE2\x82\xAC' is 3 bytes of UTF-8 (E2 82 AC), and a message takes only what can be "
       "typed (printable ASCII, space to ~); the unit's font has no byte for it; --text takes "
       "any byte as \\xHH"},
      {{"\xE9t\xE9"}, "line 1, character 1: the byte 0xE9"},
      {{"two\r\nlines"}, "line 1, character 4: the byte 0x0D"},
      {{"two\nlines"}, "the byte 0x0A cannot be typed into a message (printable ASCII only, "
                       "space to ~); give each line as its own argument"},
  };
  for (const auto& c : lines) {
    SCOPED_TRACE(c.lines.back());
    CommandLine line;
    line.lines = c.lines;
    const std::string refusal = Refusal(line);
    EXPECT_NE(refusal.find(c.says), std::string::npos) << refusal;
  }

  const struct {
    std::string text;
    std::string says;
  } texts[] = {
      {std::string(59, 'x'), "--text is 59 bytes, 1 more than the 58 a frame keeps"},
      {"ab\\q", "--text, character 3: \\q is no escape"},
      {"\\t", "--text, character 1: \\t is no escape"},
      {"ab\\x4", "--text, character 3: \\x needs two hex digits"},
      {"\\xG0", "--text, character 1: \\x needs two hex digits"},
      {"\\x", "--text, character 1: \\x needs two hex digits"},
      {"ab\\", "--text, character 3: a backslash ends the text"},
  };
  for (const auto& c : texts) {
    SCOPED_TRACE(c.text);
    CommandLine line;
    line.source = MessageSource::kText;
    line.text = c.text;
    const std::string refusal = Refusal(line);
    EXPECT_NE(refusal.find(c.says), std::string::npos) << refusal;
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

TEST(DryRunTest, SaysWhatTheZeroAfterTheTextIsAndGivesJsonWhenAsked) {
  const std::string shown = DryRunText("HI");
  EXPECT_NE(shown.find("message frame, 61 bytes:\n  48 49 00 20"), std::string::npos) << shown;
  EXPECT_NE(shown.find("(the 00, byte 3, ends the text"), std::string::npos) << shown;
  // A text that fills the frame, or ends at a SUB, leaves no room for one.
  EXPECT_EQ(DryRunText(std::string(28, 'A') + "\r\n" + std::string(28, 'B')).find("the 00"),
            std::string::npos);
  EXPECT_EQ(DryRunText("HI\x1A").find("the 00"), std::string::npos);

  std::string line;
  for (int i = 0; i < 28; ++i) line += "20 ";
  const std::string blank = line + "0D 0A " + line + "0D 0A 1A";
  EXPECT_EQ(DryRunJson("CAF\xC9\x1A"),
            "{\"blank_frame\":\"" + blank + "\",\"message_frame\":\"43 41 46 C9 1A\","
            "\"display\":[\"CAF\xC3\x89" + std::string(24, ' ') + "\",\"" + std::string(28, ' ') +
                "\"]}\n");
}

TEST(DryRunTest, DrawsEachByteBeyondPrintableAsciiAsOneColumnAndSaysWhatItWas) {
  EXPECT_EQ(DisplayText("\x85" "CAF\xC9\r\n\x9B" "2J\xAD"),
            "+----------------------------+\n"
            "|\xC2\xB7" "CAF\xC2\xB7" "                       |\n"
            "|\xC2\xB7" "2J\xC2\xB7" "                        |\n"
            "+----------------------------+\n"
            "\xC2\xB7 stands for a byte that is not printable ASCII, which the unit shows from "
            "its own font:\n"
            "  line 1: 0x85 at column 1, 0xC9 at column 5\n"
            "  line 2: 0x9B at column 1, 0xAD at column 4\n");
  // Printable ASCII alone needs no legend.
  EXPECT_EQ(DisplayText("OK").find("stands for"), std::string::npos);
}

}  // namespace
