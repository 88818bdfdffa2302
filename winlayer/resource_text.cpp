#include "winlayer/resource_text.h"

#include <vector>

std::string LoadResourceString(UINT id) {
  // A string table entry holds at most 4095 characters.
  char text[4096] = {};
  const int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, text, sizeof text);
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string FormatResourceString(UINT id, std::initializer_list<std::string> arguments) {
  const std::vector<std::string> values(arguments);
  const std::string pattern = LoadResourceString(id);
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (pattern[i] == '%' && next >= '1' && next <= '9' &&
        static_cast<std::size_t>(next - '1') < values.size()) {
      text += values[static_cast<std::size_t>(next - '1')];
      ++i;
    } else {
      text.push_back(pattern[i]);
    }
  }
  return text;
}
