#include "serial/com_port_name.h"

#include <cctype>

namespace {

// Far above any port number Windows gives out, and short enough that the
// number always fits an int.
constexpr std::size_t kLongestName = 7;  // COM9999

}  // namespace

bool ComPortName(const std::string& text, std::string* name) {
  if (text.size() <= 3 || text.size() > kLongestName || text[3] == '0') return false;
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (i < 3 ? std::toupper(c) != "COM"[i] : std::isdigit(c) == 0) return false;
    shown += static_cast<char>(std::toupper(c));
  }
  *name = shown;
  return true;
}

std::string ComPortDevice(const std::string& name) { return "\\\\.\\" + name; }
