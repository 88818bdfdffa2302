#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <tuple>

#include "cli/serial_ports.h"

namespace {

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

// The kernel makes every ttyS0..ttySn whether a UART is behind it or not;
// its serial driver says which it found one for (port type 0: none).
bool HasUart(const std::string& name) {
  std::ifstream type("/sys/class/tty/" + name + "/type");
  int value = 0;
  return type >> value && value != 0;
}

// ttyUSB2 before ttyUSB10.
bool NaturalOrder(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    const std::string number = name.substr(digits);
    return std::make_tuple(name.substr(0, digits), number.size(), number);
  };
  return split(a) < split(b);
}

}  // namespace

std::vector<SerialPort> SerialPorts() {
  std::vector<SerialPort> ports;
  const std::string by_id = "/dev/serial/by-id/";
  std::vector<std::string> links = Names(by_id);
  std::sort(links.begin(), links.end());
  for (const std::string& link : links) {
    char target[PATH_MAX];
    const bool resolved = realpath((by_id + link).c_str(), target) != nullptr;
    ports.push_back({by_id + link, resolved ? target : ""});
  }
  if (!ports.empty()) return ports;

  const std::vector<std::string> devices = Names("/dev");
  for (const std::string kind : {"ttyUSB", "ttyACM", "ttyS"}) {
    std::vector<std::string> found;
    for (const std::string& name : devices) {
      // The kind and a number: ttyS0, not ttyS or ttySAC0.
      if (name.rfind(kind, 0) != 0 || name.size() == kind.size()) continue;
      if (!std::isdigit(static_cast<unsigned char>(name[kind.size()]))) continue;
      if (kind == "ttyS" && !HasUart(name)) continue;
      found.push_back(name);
    }
    std::sort(found.begin(), found.end(), NaturalOrder);
    for (const std::string& name : found) ports.push_back({"/dev/" + name, ""});
  }
  return ports;
}
