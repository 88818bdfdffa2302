#include "banner/banner_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kSub = "\x1A";

// 70 bytes of all kinds, low and high, but no SUB.
std::string Binary() {
  std::string bytes;
  for (int i = 0; i < 70; ++i) {
    const int value = i * 37 % 256;
    bytes.push_back(static_cast<char>(value == 0x1A ? 0x1B : value));
  }
  return bytes;
}

struct TextCase {
  const char* name;
  std::string buffer;
  std::size_t count;  // bytes read into the buffer
  std::string text;
};

class BannerTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(BannerTextTest, TakesBytesUpToTheFirstSubOrTheFirst58) {
  const TextCase& c = GetParam();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.buffer.data());
  EXPECT_EQ(BannerTextFromFile(bytes, c.count), c.text);
}

const std::string kLines = std::string(28, 'a') + "\r\n" + std::string(28, 'b');

INSTANTIATE_TEST_SUITE_P(
    Files, BannerTextTest,
    ::testing::Values(
        TextCase{"TwoLinesWithBreaks", kLines + "\r\n", 60, kLines},
        TextCase{"SubEndsTheTextAndIsKept", "HELLO" + kSub + "after", 11, "HELLO" + kSub},
        TextCase{"SubAt57", std::string(57, 'x') + kSub + "zz", 60, std::string(57, 'x') + kSub},
        TextCase{"SubAt58IsPastTheText", std::string(58, 'x') + kSub, 59, std::string(58, 'x')},
        TextCase{"ZeroBytesAreKept", std::string("AB\0CD", 5), 5, std::string("AB\0CD", 5)},
        TextCase{"ShortFileGivesOnlyWhatWasRead", "one line\r\n" + std::string(60, 'Q'), 10,
                 "one line\r\n"},
        TextCase{"EmptyFile", std::string(70, 'Q'), 0, ""},
        TextCase{"AnyByteValue", Binary(), 70, Binary().substr(0, 58)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
