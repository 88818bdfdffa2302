#include "winlayer/resource_text.h"

#include <cstdio>
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

std::string SystemErrorText(DWORD code) {
  char* words = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPSTR>(&words), 0, nullptr);
  std::string text = length > 0 ? std::string(words, length) : std::string();
  ::LocalFree(words);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) {
    char number[32];
    std::snprintf(number, sizeof number, "error 0x%08lX", static_cast<unsigned long>(code));
    text = number;
  }
  return text;
}
