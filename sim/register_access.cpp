#include "sim/register_access.h"

#include <ios>

bool operator==(const RegisterAccess& a, const RegisterAccess& b) {
  return a.write == b.write && a.address == b.address && a.value == b.value;
}

bool operator!=(const RegisterAccess& a, const RegisterAccess& b) { return !(a == b); }

std::ostream& operator<<(std::ostream& out, const RegisterAccess& access) {
  const auto flags = out.flags();
  out << (access.write ? "write " : "read ") << std::hex << std::uppercase << "0x" << access.address
      << (access.write ? " <- 0x" : " -> 0x") << static_cast<int>(access.value);
  out.flags(flags);
  return out;
}

void AccessLog::Add(const RegisterAccess& access) {
  if (entries_.size() < kLimit) entries_.push_back(access);
}

void AccessLog::Clear() { entries_.clear(); }
