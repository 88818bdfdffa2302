#include <windows.h>

#include <cstdio>

#include "serial/port_error.h"

std::string SystemErrorText(int code) {
  char* words = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&words), 0, nullptr);
  std::string text = length > 0 ? std::string(words, length) : std::string();
  ::LocalFree(words);
  // The system ends its sentences with a full stop and a line break.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                           text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) {
    char number[32];
    std::snprintf(number, sizeof number, "error 0x%08lX", static_cast<unsigned long>(code));
    text = number;
  }
  return text;
}
