#pragma once
#include <cstddef>
#include <cstdint>

#include "banner/frame.h"

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

// Where a key is typed in the edit's text: the selection it replaces (the
// caret when it is empty) and the lines that selection begins and ends on.
// Positions count the characters of the whole text, a line break as two.
struct TypingPlace {
  std::size_t selection_start = 0;
  std::size_t selection_end = 0;
  std::size_t start_line_begins = 0;  // where the line of selection_start begins
  std::size_t end_line_begins = 0;    // where the line of selection_end begins
  std::size_t end_line_length = 0;    // that line's characters, its break not counted
};

// The length of the line a character typed there ends up on: what the
// selection's first line keeps before it, the character, and what its last
// line keeps after it.
constexpr std::size_t LineLengthWithTypedCharacter(const TypingPlace& place) {
  const std::size_t before = place.selection_start - place.start_line_begins;
  const std::size_t after = place.end_line_length - (place.selection_end - place.end_line_begins);
  return before + 1 + after;
}

// What the message edit does with a character code typed into it.
enum class TypedKeyAction {
  kInsert,  // handed to the control, which types it or breaks the line
  kErase,   // the control's own handling of Backspace, once
  kDrop,    // the control never sees it
};

// A character that would make its line longer than the unit shows is
// dropped, so that what is typed is what the unit gets; a line that is
// already longer (a loaded one) takes no more, and erasing still works.
// Enter only ever shortens lines; whether another line fits is the
// control's to say.
constexpr TypedKeyAction ActionForTypedKey(std::uint32_t code, const TypingPlace& place) {
  if (IsTypedCharacter(code)) {
    return LineLengthWithTypedCharacter(place) <= static_cast<std::size_t>(kLineLength)
               ? TypedKeyAction::kInsert
               : TypedKeyAction::kDrop;
  }
  if (code == kEnterKey) return TypedKeyAction::kInsert;
  if (code == kBackspaceKey) return TypedKeyAction::kErase;
  return TypedKeyAction::kDrop;
}
