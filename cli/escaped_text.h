#pragma once
#include <string>

// The bytes a C-style escaped text stands for: \r, \n, \\ and \xHH (two hex
// digits) are read, every other character stands for itself. On a backslash
// that starts none of these returns false and says what and where in error.
bool Unescape(const std::string& escaped, std::string* bytes, std::string* error);
