#include "unitrun/message_lines.h"

#include "banner/frame.h"
#include "banner/frame_text.h"
#include "banner/typed_text.h"
#include "banner/utf8_sequence.h"

bool TextFromLines(const std::vector<std::string>& lines, std::string* text, LinesRefusal* why) {
  if (lines.size() > 2) {
    *why = LinesRefusal{};
    why->kind = LinesRefusal::Kind::kThirdLine;
    why->line = 3;
    why->text = lines[2];
    return false;
  }
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    const int which = static_cast<int>(n) + 1;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const auto byte = static_cast<std::uint8_t>(line[i]);
      if (!IsTypedCharacter(byte)) {
        *why = LinesRefusal{};
        why->kind = LinesRefusal::Kind::kUntypable;
        why->line = which;
        why->character = static_cast<int>(i) + 1;
        why->byte = byte;
        why->text = line;
        const std::size_t length = Utf8Sequence(line, i, &why->code_point);
        if (length > 0) {
          why->kind = LinesRefusal::Kind::kUtf8Letter;
          why->letter = line.substr(i, length);
        }
        return false;
      }
    }
    if (line.size() > static_cast<std::size_t>(kLineLength)) {
      *why = LinesRefusal{};
      why->kind = LinesRefusal::Kind::kTooLong;
      why->line = which;
      why->text = line;
      return false;
    }
  }
  text->clear();
  for (std::size_t n = 0; n < lines.size(); ++n) {
    if (n > 0) *text += kTypedLineBreak;
    *text += lines[n];
  }
  return true;
}

std::string LinesRefusalText(const LinesRefusal& why) {
  const std::string which = "line " + std::to_string(why.line);
  switch (why.kind) {
    case LinesRefusal::Kind::kThirdLine:
      return "\"" + why.text + "\" would be a third line; the display has two";
    case LinesRefusal::Kind::kUntypable:
      return which + ", character " + std::to_string(why.character) + ": the byte " +
             ByteName(why.byte) +
             " cannot be typed into a message (printable ASCII only, space to ~)";
    case LinesRefusal::Kind::kUtf8Letter: {
      std::string said = which + ", character " + std::to_string(why.character) + ": '" +
                         why.letter + "' is " + std::to_string(why.letter.size()) +
                         " bytes of UTF-8 (" +
                         HexBytes(std::vector<std::uint8_t>(why.letter.begin(), why.letter.end())) +
                         "), and a message takes only what can be typed (printable ASCII, "
                         "space to ~)";
      std::uint8_t byte = 0;
      if (UnitByteFor(why.code_point, &byte)) {
        said += "; the unit's own byte for it is " + ByteName(byte);
      } else {
        said += "; the unit's font has no byte for it";
      }
      return said;
    }
    case LinesRefusal::Kind::kTooLong:
      break;
  }
  const std::size_t length = why.text.size();
  return which + " is " + std::to_string(length) + " characters, " +
         std::to_string(length - kLineLength) + " more than the " + std::to_string(kLineLength) +
         " a display line holds: \"" + why.text + "\"";
}

bool UnitByteFor(std::uint32_t code_point, std::uint8_t* byte) {
  // The display's font covers 0x80-0xFF as Latin-1 does; below 0xA0 those
  // are control codes with no letter.
  if (code_point < 0xA0 || code_point > 0xFF) return false;
  *byte = static_cast<std::uint8_t>(code_point);
  return true;
}
