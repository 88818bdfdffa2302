#pragma once
#include <cstdint>

// A message typed at the keyboard: the message edit takes printable ASCII,
// space to tilde, and Enter, which breaks the line with CR LF; Backspace
// erases. Every other code typed is dropped; a banner file or exact bytes
// bring other values.
constexpr std::uint8_t kFirstTypedCharacter = 0x20;  // space
constexpr std::uint8_t kLastTypedCharacter = 0x7E;   // tilde
constexpr char kTypedLineBreak[] = "\r\n";

constexpr std::uint32_t kBackspaceKey = 0x08;
constexpr std::uint32_t kEnterKey = 0x0D;

constexpr bool IsTypedCharacter(std::uint32_t code) {
  return code >= kFirstTypedCharacter && code <= kLastTypedCharacter;
}

// What the message edit does with a character code typed into it.
enum class TypedKeyAction {
  kInsert,  // handed to the control, which types it or breaks the line
  kErase,   // the control's own handling of Backspace, once
  kDrop,    // the control never sees it
};

constexpr TypedKeyAction ActionForTypedKey(std::uint32_t code) {
  if (IsTypedCharacter(code) || code == kEnterKey) return TypedKeyAction::kInsert;
  if (code == kBackspaceKey) return TypedKeyAction::kErase;
  return TypedKeyAction::kDrop;
}
