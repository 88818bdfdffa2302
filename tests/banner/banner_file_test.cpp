// Reading a banner file from disk (the system's side; the rule itself is
// BannerTextTest's).
#include "banner/banner_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

class BannerFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/korvel-banner-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
  }
  void TearDown() override { std::system(("rm -rf " + folder_).c_str()); }

  std::string File(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::string folder_;
};

TEST_F(BannerFileTest, ReadsTheStartOfTheFileIntoText) {
  std::string text = "before";
  ASSERT_TRUE(ReadBannerFile(File("long.txt", std::string(100, 'L')), &text));
  EXPECT_EQ(text, std::string(58, 'L'));
  ASSERT_TRUE(ReadBannerFile(File("sub.txt", "HI\x1Athere"), &text));
  EXPECT_EQ(text, "HI\x1A");
  ASSERT_TRUE(ReadBannerFile(File("empty.txt", ""), &text));
  EXPECT_EQ(text, "");
}

TEST_F(BannerFileTest, AFileThatCannotBeReadLeavesTheTextAndGivesTheSystemsReason) {
  std::string text = "kept";
  int error = 0;
  EXPECT_FALSE(ReadBannerFile(folder_ + "/missing.txt", &text, &error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(ReadBannerFile(folder_, &text, &error));  // opens, but will not read
  EXPECT_EQ(error, EISDIR);
  EXPECT_EQ(text, "kept");
}

}  // namespace
