#include "unitrun/message_lines.h"

#include "banner/frame.h"
#include "banner/frame_text.h"
#include "banner/typed_text.h"

bool TextFromLines(const std::vector<std::string>& lines, std::string* text, LinesRefusal* why) {
  if (lines.size() > 2) {
    *why = LinesRefusal{LinesRefusal::Kind::kThirdLine, 3, 0, 0, lines[2]};
    return false;
  }
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    const int which = static_cast<int>(n) + 1;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const auto byte = static_cast<std::uint8_t>(line[i]);
      if (!IsTypedCharacter(byte)) {
        *why = LinesRefusal{LinesRefusal::Kind::kUntypable, which, static_cast<int>(i) + 1, byte,
                            line};
        return false;
      }
    }
    if (line.size() > static_cast<std::size_t>(kLineLength)) {
      *why = LinesRefusal{LinesRefusal::Kind::kTooLong, which, 0, 0, line};
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
    case LinesRefusal::Kind::kTooLong:
      break;
  }
  const std::size_t length = why.text.size();
  return which + " is " + std::to_string(length) + " characters, " +
         std::to_string(length - kLineLength) + " more than the " + std::to_string(kLineLength) +
         " a display line holds: \"" + why.text + "\"";
}
