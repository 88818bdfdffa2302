#pragma once
#include <string>
#include <vector>

// Where a message will not show on the unit the way it was written, said
// before anything is sent so that a person can mend it. The message still
// goes as it is: a banner file made for the unit goes byte for byte.
struct LayoutWarning {
  int line = 0;    // 1-based, as an editor counts lines; 0 for the whole
  int column = 0;  // 1-based byte of that line; 0 for the whole line
  std::string what;
};

// A banner file's bytes, as much of the file as was read. Its message is what
// the banner-file rule takes; warned of: a UTF-8 byte-order mark, a line
// ended by LF alone, a line over 28 characters, a line past the second, a
// byte that cannot be typed (CR, LF and SUB aside), and anything in the file
// past the bytes the rule takes but a last line end.
std::vector<LayoutWarning> CheckBannerFile(const std::string& file);

// Exact bytes given for the message. Warned of: a line of more than 28 bytes,
// and a character written in UTF-8, which the unit shows as one character per
// byte.
std::vector<LayoutWarning> CheckExactText(const std::string& bytes);
