#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// "20 0D 0A 1A": bytes as upper-case hex pairs set apart by spaces.
std::string HexBytes(const std::vector<std::uint8_t>& bytes);

// "0x0A": one byte, as messages name it.
std::string ByteName(std::uint8_t byte);

// The display's two lines in a box, one line of text each, ending in a
// newline. Bytes above 0x7F are shown as the Latin-1 characters they stand
// for, in UTF-8, so the box stays readable in a terminal.
std::string DisplayBox(const std::array<std::string, 2>& lines);
