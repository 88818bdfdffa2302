#pragma once
#include <cstdint>

// A message typed at the keyboard: the message edit takes printable ASCII,
// space to tilde, and Enter, which breaks the line with CR LF. Everything
// else typed is dropped; a banner file or exact bytes bring other values.
constexpr std::uint8_t kFirstTypedCharacter = 0x20;  // space
constexpr std::uint8_t kLastTypedCharacter = 0x7E;   // tilde
constexpr char kTypedLineBreak[] = "\r\n";

constexpr bool IsTypedCharacter(std::uint8_t byte) {
  return byte >= kFirstTypedCharacter && byte <= kLastTypedCharacter;
}
