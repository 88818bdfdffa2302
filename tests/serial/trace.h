#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/register_access.h"

// Register accesses as short readable lines: "in 3FD" for a read, "out 3F8 41"
// for a write. Read values are left out where a test is about order alone.
inline std::vector<std::string> Trace(const std::vector<RegisterAccess>& log) {
  std::vector<std::string> lines;
  for (const auto& access : log) {
    char text[32];
    if (access.write) {
      std::snprintf(text, sizeof text, "out %03X %02X", static_cast<unsigned>(access.address),
                    static_cast<unsigned>(access.value));
    } else {
      std::snprintf(text, sizeof text, "in %03X", static_cast<unsigned>(access.address));
    }
    lines.push_back(text);
  }
  return lines;
}

inline std::size_t CountWrites(const std::vector<RegisterAccess>& log) {
  std::size_t writes = 0;
  for (const auto& access : log) writes += access.write ? 1 : 0;
  return writes;
}
