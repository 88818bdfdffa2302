#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the unit's 2 x 28 character display shows for the bytes of a frame
// (those before its end byte count):
// - a printable byte (0x20-0x7E, and 0x80-0xFF, which the display's font
//   covers) takes the next column of the current line;
// - CR ends the current line; an LF straight after that CR belongs to the
//   same line break; an LF on its own ends the line as well;
// - other control bytes and DEL (such as the zero byte after a short text)
//   are ignored and take no column;
// - characters past column 28 of a line are not shown, nor is any line after
//   the second; lines shorter than 28 characters are padded with spaces.
// No bytes at all: a blank display.
std::array<std::string, 2> DisplayLinesFor(const std::vector<std::uint8_t>& frame);
