#include "cli/message_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "banner/banner_file.h"
#include "banner/banner_text.h"
#include "banner/frame.h"
#include "banner/frame_text.h"
#include "banner/layout_check.h"
#include "banner/typed_text.h"
#include "banner/utf8_sequence.h"
#include "cli/escaped_text.h"
#include "unitrun/message_lines.h"
#include "serial/port_error.h"

namespace {

// A plain text file of two short lines is far smaller; a larger one is
// refused before it is read whole.
constexpr std::size_t kLinesFileLimit = 4096;
// Enough of a banner file to see what lies past the bytes the rule takes.
constexpr std::size_t kBannerFileLookLimit = 4096;

// The lines as one --text argument for a shell, each letter written in UTF-8
// as the unit's own byte for it: 'CAF\xC9\r\nOPEN'. Empty when a letter has
// no such byte, or a byte is neither typed nor a letter.
std::string AsEscapedText(const std::vector<std::string>& lines) {
  std::string escaped;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    if (n > 0) escaped += "\\r\\n";
    const std::string& line = lines[n];
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      std::uint32_t code_point = 0;
      std::uint8_t byte = 0;
      if (IsTypedCharacter(static_cast<std::uint8_t>(c))) {
        escaped += c == '\\' ? "\\\\" : c == '\'' ? "'\\''" : std::string(1, c);
      } else if (const std::size_t length = Utf8Sequence(line, i, &code_point);
                 length > 0 && UnitByteFor(code_point, &byte)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
        escaped += hex;
        i += length - 1;
      } else {
        return "";
      }
    }
  }
  return "'" + escaped + "'";
}

// The lines' refusal, with how to give such lines on the command line.
bool FromLines(const std::vector<std::string>& lines, std::string* text, std::string* refusal) {
  LinesRefusal why;
  if (TextFromLines(lines, text, &why)) return true;
  *refusal = LinesRefusalText(why);
  if (why.kind == LinesRefusal::Kind::kUntypable) {
    *refusal += why.byte == '\r' || why.byte == '\n' ? "; give each line as its own argument"
                                                     : "; --text takes any byte as \\xHH";
  } else if (why.kind == LinesRefusal::Kind::kUtf8Letter) {
    const std::string escaped = AsEscapedText(lines);
    *refusal += escaped.empty() ? "; --text takes any byte as \\xHH"
                                : "; write it with --text " + escaped;
  }
  return false;
}

// Up to limit bytes of a file, and one more when there are more; standard
// input for "-". False when it cannot be read, saying why.
bool ReadUpTo(const std::string& path, std::size_t limit, std::string* bytes,
              std::string* refusal) {
  if (path != "-") {
    int code = 0;
    if (ReadFileStart(path, limit + 1, bytes, &code)) return true;
    *refusal = path + ": " + SystemErrorText(code);
    return false;
  }
  bytes->clear();
  char buffer[512];
  std::size_t got = 0;
  while (bytes->size() <= limit && (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    bytes->append(buffer, got);
  }
  if (std::ferror(stdin)) {
    *refusal = "standard input could not be read";
    return false;
  }
  if (bytes->size() > limit) bytes->resize(limit + 1);
  return true;
}

// A plain text file's lines: any line end, a last one, and a UTF-8
// byte-order mark are not part of them.
bool FromLinesFile(const std::string& path, std::string* text, std::string* refusal) {
  std::string bytes;
  const std::string name = path == "-" ? "standard input" : path;
  if (!ReadUpTo(path, kLinesFileLimit, &bytes, refusal)) {
    *refusal = "--lines " + *refusal;
    return false;
  }
  if (bytes.size() > kLinesFileLimit) {
    *refusal = "--lines " + name + " is far longer than two display lines";
    return false;
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  if (!FromLines(lines, text, refusal)) {
    *refusal = "--lines " + name + ": " + *refusal;
    return false;
  }
  return true;
}

// Each warning led by where it is: in a file as an editor counts, in exact
// bytes by the byte.
void AddWarningsAt(const std::string& where, const char* position_name,
                   const std::vector<LayoutWarning>& found, std::vector<std::string>* warnings) {
  for (const LayoutWarning& warning : found) {
    std::string place = where;
    if (warning.line > 0) place += ": line " + std::to_string(warning.line);
    if (warning.column > 0) {
      place += std::string(", ") + position_name + " " + std::to_string(warning.column);
    }
    warnings->push_back(place + ": " + warning.what);
  }
}

// Read once, far enough to see what lies past the bytes the rule takes; the
// message is what the banner-file rule makes of the file's start.
bool FromFile(const std::string& path, Message* message, std::string* refusal) {
  std::string file;
  int code = 0;
  if (!ReadFileStart(path, kBannerFileLookLimit, &file, &code)) {
    *refusal = "--file " + path + ": " + SystemErrorText(code);
    return false;
  }
  message->text = BannerTextFromFile(reinterpret_cast<const std::uint8_t*>(file.data()),
                                     std::min(file.size(), kBannerReadLimit));
  AddWarningsAt(path, "column", CheckBannerFile(file), &message->warnings);
  return true;
}

bool FromEscapedText(const std::string& escaped, Message* message, std::string* refusal) {
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
  message->text = bytes;
  AddWarningsAt("--text", "byte", CheckExactText(bytes), &message->warnings);
  return true;
}

}  // namespace

bool MessageText(const CommandLine& line, Message* message, std::string* refusal) {
  *message = Message{};
  switch (line.source) {
    case MessageSource::kFile:
      return FromFile(line.file, message, refusal);
    case MessageSource::kText:
      return FromEscapedText(line.text, message, refusal);
    case MessageSource::kLinesFile:
      return FromLinesFile(line.lines_file, &message->text, refusal);
    case MessageSource::kLines:
      break;
  }
  return FromLines(line.lines, &message->text, refusal);
}
