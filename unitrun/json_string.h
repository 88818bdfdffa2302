#pragma once
#include <string>

// text as a JSON string, quotes included: quotes, backslashes and control
// bytes escaped; every other byte as it is, so UTF-8 stays UTF-8.
std::string JsonString(const std::string& text);
