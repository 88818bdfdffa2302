#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Why lines were refused as a message.
struct LinesRefusal {
  enum class Kind {
    kThirdLine,
    kUntypable,   // a byte that cannot be typed
    kUtf8Letter,  // a character written in UTF-8, such as É
    kTooLong,
  };
  Kind kind = Kind::kThirdLine;
  int line = 0;                 // which line, from 1
  int character = 0;            // where the untypable byte or letter is, from 1
  std::uint8_t byte = 0;        // the untypable byte, or the letter's first
  std::string letter;           // the letter's UTF-8 bytes
  std::uint32_t code_point = 0; // the letter's
  std::string text;             // the line
};

// The message text of up to two display lines, each at most a display line
// long and made of characters the message edit takes from the keyboard,
// joined with CR LF as two typed lines are. Anything else is refused; nothing
// is cut.
bool TextFromLines(const std::vector<std::string>& lines, std::string* text, LinesRefusal* why);

// A refusal in the words both front ends use; how to write the lines
// otherwise is each front end's to add.
std::string LinesRefusalText(const LinesRefusal& why);

// The byte that stands for a letter in the unit's font, where it has one:
// the letter's Latin-1 code. False for a letter beyond Latin-1.
bool UnitByteFor(std::uint32_t code_point, std::uint8_t* byte);
