#include "banner/layout_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "line:column what" for each warning, so a case reads as the person would.
std::vector<std::string> Said(const std::vector<LayoutWarning>& warnings) {
  std::vector<std::string> said;
  for (const LayoutWarning& w : warnings) {
    said.push_back(std::to_string(w.line) + ":" + std::to_string(w.column) + " " + w.what);
  }
  return said;
}

::testing::AssertionResult SaysAt(const std::vector<LayoutWarning>& warnings, int line, int column,
                                  const std::string& part) {
  for (const LayoutWarning& w : warnings) {
    if (w.line == line && w.column == column && w.what.find(part) != std::string::npos) {
      return ::testing::AssertionSuccess();
    }
  }
  return ::testing::AssertionFailure() << "no " << line << ":" << column << " \"" << part
                                       << "\" in " << ::testing::PrintToString(Said(warnings));
}

const std::string k28(28, 'A');

TEST(BannerFileCheckTest, AFileMadeForTheUnitIsLeftAlone) {
  for (const std::string& file :
       {k28 + "\r\n" + k28 + "\r\n",  // 60 bytes: the last line end is not needed
        k28 + "\r\n" + k28, std::string("HELLO\r\nWORLD"), std::string("HI\x1A" "anything\n\xFF"),
        std::string(""), std::string("ONE LINE"), std::string("ONE LINE\r\n")}) {
    EXPECT_TRUE(CheckBannerFile(file).empty()) << ::testing::PrintToString(Said(CheckBannerFile(file)));
  }
}

TEST(BannerFileCheckTest, SaysWhereAFileWillNotShowAsWritten) {
  // An editor's file: lines ended by LF alone.
  auto w = CheckBannerFile("TONIGHT LIVE MUSIC\nDOORS 8 PM\n");
  EXPECT_TRUE(SaysAt(w, 1, 19, "ends with LF alone"));
  EXPECT_TRUE(SaysAt(w, 2, 11, "ends with LF alone"));
  EXPECT_TRUE(SaysAt(w, 1, 19, "--lines FILE"));

  // A long first line, and a third line the display has no room for.
  w = CheckBannerFile(std::string(48, 'x') + "\r\nB\r\nC");
  EXPECT_TRUE(SaysAt(w, 1, 0, "48 characters, 20 more than the 28"));
  EXPECT_TRUE(SaysAt(w, 3, 0, "the display has two lines"));

  // A byte-order mark, and bytes that cannot be typed; CR, LF and SUB can be
  // in a file made for the unit.
  w = CheckBannerFile("\xEF\xBB\xBFHELLO\tX\x7F\r\nCAF\xC9\x1A");
  EXPECT_TRUE(SaysAt(w, 1, 1, "byte-order mark"));
  EXPECT_TRUE(SaysAt(w, 1, 6, "the byte 0x09 cannot be typed"));
  EXPECT_TRUE(SaysAt(w, 1, 8, "the byte 0x7F"));
  EXPECT_TRUE(SaysAt(w, 2, 4, "the byte 0xC9"));
  EXPECT_EQ(w.size(), 4u) << ::testing::PrintToString(Said(w));

  // More than the 58 bytes the unit takes, beyond a last line end.
  w = CheckBannerFile(k28 + "\r\n" + k28 + "\r\nMORE");
  EXPECT_TRUE(SaysAt(w, 2, 29, "only the file's first 58 bytes"));
  w = CheckBannerFile(k28 + "\r\n" + k28 + "XY");
  EXPECT_TRUE(SaysAt(w, 2, 29, "only the file's first 58 bytes"));
}

TEST(ExactTextCheckTest, WarnsOfLongLinesAndUtf8ButNotOfBytesGivenOnPurpose) {
  EXPECT_TRUE(CheckExactText("CAF\xC9 OPEN\r\n7 DAYS \x01\x1A\xFF").empty());
  EXPECT_TRUE(CheckExactText("LINE ONE\nLINE TWO").empty()) << "an LF may be meant";

  auto w = CheckExactText("CAF\xC3\x89 \xE2\x82\xAC");
  EXPECT_TRUE(SaysAt(w, 1, 4, "2 bytes of UTF-8 (C3 89)"));
  EXPECT_TRUE(SaysAt(w, 1, 4, "such as \\xC9 for the Latin-1 one"));
  EXPECT_TRUE(SaysAt(w, 1, 7, "3 bytes of UTF-8 (E2 82 AC)"));  // columns count bytes
  EXPECT_EQ(w.size(), 2u);
  EXPECT_TRUE(CheckExactText("\xC3").empty()) << "no sequence, no UTF-8";

  w = CheckExactText(std::string(40, 'x'));
  EXPECT_TRUE(SaysAt(w, 1, 0, "40 characters, 12 more than the 28"));
  EXPECT_TRUE(CheckExactText(k28 + "\r\n" + k28).empty());
}

}  // namespace
