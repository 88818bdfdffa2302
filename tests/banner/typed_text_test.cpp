#include "banner/typed_text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(TypedKeyTest, PrintableAsciiAndEnterGoInBackspaceErasesEveryOtherCodeIsDropped) {
  const struct {
    std::uint32_t code;
    TypedKeyAction action;
  } cases[] = {
      {31, TypedKeyAction::kDrop},
      {32, TypedKeyAction::kInsert},   // space
      {126, TypedKeyAction::kInsert},  // tilde
      {127, TypedKeyAction::kDrop},
      {13, TypedKeyAction::kInsert},  // Enter
      {8, TypedKeyAction::kErase},    // Backspace
      {10, TypedKeyAction::kDrop},    // LF: only Enter breaks a line
      {0, TypedKeyAction::kDrop},
      // The edit control's own copy, paste, cut and undo.
      {0x03, TypedKeyAction::kDrop},
      {0x16, TypedKeyAction::kDrop},
      {0x18, TypedKeyAction::kDrop},
      {0x1A, TypedKeyAction::kDrop},
      {128, TypedKeyAction::kDrop},
      {0xE9, TypedKeyAction::kDrop},  // an accented letter
      {255, TypedKeyAction::kDrop},
      // Codes above a byte whose low byte alone would go in or erase.
      {0x100 + 'A', TypedKeyAction::kDrop},
      {0x100 + 13, TypedKeyAction::kDrop},
      {0x100 + 8, TypedKeyAction::kDrop},
      {0xFFFFFFFF, TypedKeyAction::kDrop},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ActionForTypedKey(c.code), c.action) << "code " << c.code;
  }
}

}  // namespace
