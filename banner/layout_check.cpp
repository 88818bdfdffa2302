#include "banner/layout_check.h"

#include <cstdint>
#include <cstdio>

#include "banner/banner_text.h"
#include "banner/frame.h"
#include "banner/frame_text.h"
#include "banner/typed_text.h"
#include "banner/utf8_sequence.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string TooLong(std::size_t length) {
  return "the line is " + std::to_string(length) + " characters, " +
         std::to_string(length - kLineLength) + " more than the " + std::to_string(kLineLength) +
         " a display line holds";
}

// Whether what is left is at most a last line end.
bool OnlyALineEnd(const std::string& rest) {
  return rest.empty() || rest == "\n" || rest == "\r\n" || rest == "\r";
}

// What a walk over a message warns of, besides lines that are too long or
// past the second.
struct Checks {
  bool untyped = false;   // bytes that cannot be typed (CR, LF and SUB aside)
  bool lf_alone = false;  // lines ended by LF alone
  bool utf8 = false;      // characters written in UTF-8
};

// Walks a message's lines as an editor shows them: a line ends at CR LF, CR
// or LF, and the message ends at its first SUB.
class LineWalker {
 public:
  LineWalker(Checks checks, std::vector<LayoutWarning>* warnings)
      : checks_(checks), warnings_(warnings) {}

  void Warn(int column, const std::string& what) { warnings_->push_back({line_, column, what}); }

  void Walk(const std::string& text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
      const auto byte = static_cast<std::uint8_t>(text[i]);
      if (byte == kSub) break;
      if (byte == kCr || byte == kLf) {
        if (byte == kCr && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        EndLine(byte == kLf);
        continue;
      }
      ++column_;
      if (line_ > 2 && column_ == 1) Warn(0, "the display has two lines: this one is not shown");
      std::uint32_t code_point = 0;
      const std::size_t length = checks_.utf8 ? Utf8Sequence(text, i, &code_point) : 0;
      if (length > 0) {
        Warn(column_, Utf8Advice(text.substr(i, length), code_point));
        column_ += static_cast<int>(length) - 1;
        i += length - 1;
      } else if (checks_.untyped && !IsTypedCharacter(byte)) {
        Warn(column_, "the byte " + ByteName(byte) +
                          " cannot be typed; the unit shows it as a character of its own font");
      }
    }
    if (column_ > kLineLength) Warn(0, TooLong(static_cast<std::size_t>(column_)));
  }

  int line() const { return line_; }
  int column() const { return column_; }

 private:
  void EndLine(bool lf_alone) {
    if (column_ > kLineLength) Warn(0, TooLong(static_cast<std::size_t>(column_)));
    if (lf_alone && checks_.lf_alone) {
      Warn(column_ + 1,
           "the line ends with LF alone, where the unit's lines end with CR LF (--lines "
           "FILE reads a plain text file's lines as they are)");
    }
    ++line_;
    column_ = 0;
  }

  static std::string Utf8Advice(const std::string& character, std::uint32_t code_point) {
    const std::string hex =
        HexBytes(std::vector<std::uint8_t>(character.begin(), character.end()));
    char hint[64] = "";
    if (code_point <= 0xFF) {
      std::snprintf(hint, sizeof hint, ", such as \\x%02X for the Latin-1 one",
                    static_cast<unsigned>(code_point));
    }
    return "'" + character + "' is " + std::to_string(character.size()) + " bytes of UTF-8 (" +
           hex + "), which the unit shows as " + std::to_string(character.size()) +
           " characters; write the unit's own byte for it as \\xHH" + hint;
  }

  Checks checks_;
  std::vector<LayoutWarning>* warnings_;
  int line_ = 1;
  int column_ = 0;
};

}  // namespace

std::vector<LayoutWarning> CheckBannerFile(const std::string& file) {
  std::vector<LayoutWarning> warnings;
  const std::string text = BannerTextFromFile(
      reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
  Checks checks;
  checks.untyped = checks.lf_alone = true;
  LineWalker walker(checks, &warnings);
  std::size_t from = 0;
  if (text.compare(0, 3, kByteOrderMark) == 0) {
    walker.Warn(1, "the file begins with a UTF-8 byte-order mark, which the unit shows as three "
                   "characters; save the file without one");
    from = 3;
  }
  walker.Walk(text, from);
  const bool ended_by_sub = !text.empty() && static_cast<std::uint8_t>(text.back()) == kSub;
  if (!ended_by_sub && !OnlyALineEnd(file.substr(text.size()))) {
    warnings.push_back({walker.line(), walker.column() + 1,
                        "the unit takes only the file's first " +
                            std::to_string(kBannerTextLimit) +
                            " bytes: what follows from here is not sent"});
  }
  return warnings;
}

std::vector<LayoutWarning> CheckExactText(const std::string& bytes) {
  std::vector<LayoutWarning> warnings;
  Checks checks;
  checks.utf8 = true;
  LineWalker(checks, &warnings).Walk(bytes, 0);
  return warnings;
}
