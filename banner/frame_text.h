#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// "20 0D 0A 1A": bytes as upper-case hex pairs set apart by spaces.
std::string HexBytes(const std::vector<std::uint8_t>& bytes);

// "0x0A": one byte, as messages name it.
std::string ByteName(std::uint8_t byte);

// A byte of the display that the box draws as kStandIn: where, from 1, and
// which.
struct StoodInByte {
  int line = 0;
  int column = 0;
  std::uint8_t byte = 0;
};

// What the box draws, one column wide, for a byte that is not printable
// ASCII: a middle dot, in UTF-8.
constexpr char kStandIn[] = "\xC2\xB7";

// The display's two lines in a box, one line of text each, ending in a
// newline. A byte that is not printable ASCII is drawn as kStandIn, never as
// itself: a terminal takes 0x80-0x9F for control codes, and other bytes may
// take no column or two, which would shift the box's edge. Those bytes are
// listed in stood_in, when given, for the front end to say what they are.
std::string DisplayBox(const std::array<std::string, 2>& lines,
                       std::vector<StoodInByte>* stood_in = nullptr);
