#include "banner/typed_text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Where a key lands in an edit holding text with start..end selected, found
// as the edit's own line queries find it: lines end at CR LF.
TypingPlace PlaceIn(const std::string& text, std::size_t start, std::size_t end) {
  const auto line_begins = [&](std::size_t at) {
    const std::size_t brk = at < 2 ? std::string::npos : text.rfind("\r\n", at - 2);
    return brk == std::string::npos ? std::size_t{0} : brk + 2;
  };
  TypingPlace place;
  place.selection_start = start;
  place.selection_end = end;
  place.start_line_begins = line_begins(start);
  place.end_line_begins = line_begins(end);
  const std::size_t line_ends = text.find("\r\n", place.end_line_begins);
  place.end_line_length =
      (line_ends == std::string::npos ? text.size() : line_ends) - place.end_line_begins;
  return place;
}

TypingPlace CaretIn(const std::string& text, std::size_t at) { return PlaceIn(text, at, at); }

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
    EXPECT_EQ(ActionForTypedKey(c.code, CaretIn("", 0)), c.action) << "code " << c.code;
  }
}

TEST(TypedKeyTest, ACharacterGoesInOnlyWhileItsLineStaysWithinWhatTheUnitShows) {
  const std::string full(28, 'F'), short_line = "SHORT";
  const std::string twenty(20, 'T'), forty(40, 'L');
  const struct {
    const char* what;
    std::string text;
    std::size_t start, end;
    TypedKeyAction action;
  } cases[] = {
      {"the 28th character", std::string(27, 'A'), 27, 27, TypedKeyAction::kInsert},
      {"a 29th at the end", full, 28, 28, TypedKeyAction::kDrop},
      {"a 29th at the start", full, 0, 0, TypedKeyAction::kDrop},
      {"a 29th in the middle", full, 14, 14, TypedKeyAction::kDrop},
      {"over one character of a full line", full, 27, 28, TypedKeyAction::kInsert},
      {"over the whole full line", full, 0, 28, TypedKeyAction::kInsert},
      {"on a short second line under a full one", full + "\r\nAB", 32, 32,
       TypedKeyAction::kInsert},
      {"at the end of a full second line", short_line + "\r\n" + full, 35, 35,
       TypedKeyAction::kDrop},
      {"on a short first line over a full one", short_line + "\r\n" + full, 5, 5,
       TypedKeyAction::kInsert},
      {"at the start of a full second line", short_line + "\r\n" + full, 7, 7,
       TypedKeyAction::kDrop},
      // A selection over the line break joins what its lines keep around it.
      {"over a break, 10 + 1 + 15 kept", twenty + "\r\n" + twenty, 10, 27,
       TypedKeyAction::kInsert},
      {"over a break, 15 + 1 + 18 kept", twenty + "\r\n" + twenty, 15, 24, TypedKeyAction::kDrop},
      {"over the break alone", twenty + "\r\n" + twenty, 20, 22, TypedKeyAction::kDrop},
      {"over the break of a line of 27 and an empty one", std::string(27, 'A') + "\r\n", 27, 29,
       TypedKeyAction::kInsert},
      // A loaded line longer than the unit shows takes nothing more, and
      // nothing that leaves it longer than that.
      {"at the end of a loaded line of 40", forty, 40, 40, TypedKeyAction::kDrop},
      {"over 5 of a loaded line of 40", forty, 0, 5, TypedKeyAction::kDrop},
      {"over 12 of a loaded line of 40", forty, 10, 22, TypedKeyAction::kDrop},
      {"over 13 of a loaded line of 40", forty, 10, 23, TypedKeyAction::kInsert},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ActionForTypedKey('X', PlaceIn(c.text, c.start, c.end)), c.action);
  }
}

TEST(TypedKeyTest, EnterAndBackspaceWorkOnFullAndOverlongLines) {
  const std::string full(28, 'F'), forty(40, 'L');
  for (const TypingPlace& place :
       {CaretIn(full, 28), CaretIn(full, 10), CaretIn(forty, 40), PlaceIn(forty, 3, 9)}) {
    EXPECT_EQ(ActionForTypedKey(kEnterKey, place), TypedKeyAction::kInsert);
    EXPECT_EQ(ActionForTypedKey(kBackspaceKey, place), TypedKeyAction::kErase);
  }
}

}  // namespace
