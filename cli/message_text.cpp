#include "cli/message_text.h"

#include <cstdio>
#include <cstdint>

#include "banner/banner_file.h"
#include "banner/banner_text.h"
#include "banner/frame.h"
#include "banner/typed_text.h"
#include "cli/escaped_text.h"
#include "cli/system.h"

namespace {

std::string ByteName(std::uint8_t byte) {
  char name[8];
  std::snprintf(name, sizeof name, "0x%02X", static_cast<unsigned>(byte));
  return name;
}

bool FromLines(const std::vector<std::string>& lines, std::string* text, std::string* refusal) {
  if (lines.size() > 2) {
    *refusal = "\"" + lines[2] + "\" would be a third line; the display has two";
    return false;
  }
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    const std::string which = "line " + std::to_string(n + 1);
    for (std::size_t i = 0; i < line.size(); ++i) {
      const auto byte = static_cast<std::uint8_t>(line[i]);
      if (!IsTypedCharacter(byte)) {
        *refusal = which + ", character " + std::to_string(i + 1) + ": the byte " +
                   ByteName(byte) +
                   " cannot be typed into a message (printable ASCII only, space to ~); "
                   "--text takes any byte as \\xHH";
        return false;
      }
    }
    if (line.size() > static_cast<std::size_t>(kLineLength)) {
      *refusal = which + " is " + std::to_string(line.size()) + " characters, " +
                 std::to_string(line.size() - kLineLength) + " more than the " +
                 std::to_string(kLineLength) + " a display line holds: \"" + line + "\"";
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

bool FromFile(const std::string& path, std::string* text, std::string* refusal) {
  int code = 0;
  if (!ReadBannerFile(path, text, &code)) {
    *refusal = "--file " + path + ": " + SystemErrorText(code);
    return false;
  }
  return true;
}

bool FromEscapedText(const std::string& escaped, std::string* text, std::string* refusal) {
  std::string bytes, error;
  if (!Unescape(escaped, &bytes, &error)) {
    *refusal = "--text, " + error;
    return false;
  }
  if (bytes.size() > kBannerTextLimit) {
    *refusal = "--text is " + std::to_string(bytes.size()) + " bytes, " +
               std::to_string(bytes.size() - kBannerTextLimit) + " more than the " +
               std::to_string(kBannerTextLimit) + " a frame keeps";
    return false;
  }
  *text = bytes;
  return true;
}

}  // namespace

bool MessageText(const CommandLine& line, std::string* text, std::string* refusal) {
  switch (line.source) {
    case MessageSource::kFile:
      return FromFile(line.file, text, refusal);
    case MessageSource::kText:
      return FromEscapedText(line.text, text, refusal);
    case MessageSource::kLines:
      break;
  }
  return FromLines(line.lines, text, refusal);
}
