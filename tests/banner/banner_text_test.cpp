#include "banner/banner_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BannerTextTest, TakesBytesUpToTheFirstSubOrTheFirst58) {
  std::string binary;  // every kind of byte but SUB
  for (int i = 0; i < 70; ++i) {
    binary.push_back(static_cast<char>(i * 37 % 256 == 0x1A ? 0 : i * 37));
  }
  const std::string lines = std::string(28, 'a') + "\r\n" + std::string(28, 'b');
  const struct {
    std::string buffer;
    std::size_t count;  // bytes read into the buffer
    std::string text;
  } cases[] = {
      {lines + "\r\n", 60, lines},
      {"HELLO\x1A" "after", 11, "HELLO\x1A"},
      {std::string(58, 'x') + "\x1A", 59, std::string(58, 'x')},
      {std::string("AB\0CD", 5), 5, std::string("AB\0CD", 5)},
      {"one line\r\n" + std::string(60, 'Q'), 10, "one line\r\n"},
      {std::string(70, 'Q'), 0, ""},
      {binary, 70, binary.substr(0, 58)},
  };
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.buffer.data());
    EXPECT_EQ(BannerTextFromFile(bytes, c.count), c.text) << c.buffer.substr(0, c.count);
  }
}

}  // namespace
