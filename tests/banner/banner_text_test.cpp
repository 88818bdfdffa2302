#include "banner/banner_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "banner/frame.h"  // kSub

namespace {

std::string Sub() { return std::string(1, static_cast<char>(kSub)); }

TEST(BannerText, TwoLinesWithBreaksGiveTheFirstFiftyEightBytes) {
  const std::string file = std::string(28, 'a') + "\r\n" + std::string(28, 'b') + "\r\n";
  ASSERT_EQ(file.size(), 60u);
  const std::string text = BannerTextFromFile(file);
  EXPECT_EQ(text, file.substr(0, 58));
  EXPECT_EQ(text.back(), 'b');
}

TEST(BannerText, SubEndsTheTextAndIsKept) {
  const std::string file = "HELLO" + Sub() + "ignored after the end";
  EXPECT_EQ(BannerTextFromFile(file), "HELLO" + Sub());
}

TEST(BannerText, SubCountsOnlyWithinTheFirstFiftyEightBytes) {
  EXPECT_EQ(BannerTextFromFile(std::string(57, 'x') + Sub() + "zz"), std::string(57, 'x') + Sub());
  EXPECT_EQ(BannerTextFromFile(std::string(58, 'x') + Sub()), std::string(58, 'x'));
}

TEST(BannerText, ZeroBytesAreKept) {
  const std::string file = std::string("AB") + '\0' + "CD";
  const std::string text = BannerTextFromFile(file);
  ASSERT_EQ(text.size(), 5u);
  EXPECT_EQ(text, file);
}

TEST(BannerText, ShortFileWithoutSubGivesExactlyItsBytes) {
  // Bytes past what was read must never leak in, whatever the buffer held.
  std::vector<std::uint8_t> buffer(kBannerReadLimit, 'Q');
  const std::string line = "one short line\r\n";
  std::copy(line.begin(), line.end(), buffer.begin());
  EXPECT_EQ(BannerTextFromFile(buffer.data(), line.size()), line);
}

TEST(BannerText, EmptyFileGivesEmptyText) {
  EXPECT_EQ(BannerTextFromFile(std::string()), "");
  EXPECT_EQ(BannerTextFromFile(nullptr, 0), "");
}

TEST(BannerText, BinaryFileGivesFiftyEightBytesOfAnyValue) {
  std::vector<std::uint8_t> buffer;
  for (std::size_t i = 0; i < kBannerReadLimit; ++i) {
    std::uint8_t value = static_cast<std::uint8_t>(0xFF - i * 3);
    if (value == kSub) value = 0x1B;
    buffer.push_back(value);
  }
  const std::string text = BannerTextFromFile(buffer.data(), buffer.size());
  ASSERT_EQ(text.size(), kBannerTextLimit);
  for (std::size_t i = 0; i < text.size(); ++i) {
    EXPECT_EQ(static_cast<std::uint8_t>(text[i]), buffer[i]) << "byte " << i;
  }
}

}  // namespace
