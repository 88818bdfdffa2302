#include "banner/utf8_sequence.h"

std::size_t Utf8Sequence(const std::string& bytes, std::size_t i, std::uint32_t* code_point) {
  const auto lead = static_cast<std::uint8_t>(bytes[i]);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  std::uint32_t value = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<std::uint8_t>(bytes[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3F);
  }
  *code_point = value;
  return length;
}
