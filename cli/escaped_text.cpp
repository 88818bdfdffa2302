#include "cli/escaped_text.h"

#include <cctype>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool Unescape(const std::string& escaped, std::string* bytes, std::string* error) {
  std::string out;
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\') {
      out.push_back(escaped[i]);
      continue;
    }
    const std::string where = "character " + std::to_string(i + 1);
    if (i + 1 >= escaped.size()) {
      *error = where + ": a backslash ends the text; write \\\\ for a backslash";
      return false;
    }
    const char kind = escaped[++i];
    if (kind == 'r') {
      out.push_back('\r');
    } else if (kind == 'n') {
      out.push_back('\n');
    } else if (kind == '\\') {
      out.push_back('\\');
    } else if (kind == 'x') {
      const int high = i + 1 < escaped.size() ? HexValue(escaped[i + 1]) : -1;
      const int low = i + 2 < escaped.size() ? HexValue(escaped[i + 2]) : -1;
      if (high < 0 || low < 0) {
        *error = where + ": \\x needs two hex digits, such as \\x1A";
        return false;
      }
      out.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      *error = where + ": \\" + std::string(1, kind) +
               " is no escape here; the escapes are \\r \\n \\\\ and \\xHH";
      return false;
    }
  }
  *bytes = out;
  return true;
}
