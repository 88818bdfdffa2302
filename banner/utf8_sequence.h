#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The length of a UTF-8 sequence of two bytes or more at i of bytes, with its
// code point in code_point; 0 when no such sequence starts there. Text typed
// in a UTF-8 terminal brings a letter such as É this way, where the unit
// takes one byte a character.
std::size_t Utf8Sequence(const std::string& bytes, std::size_t i, std::uint32_t* code_point);
