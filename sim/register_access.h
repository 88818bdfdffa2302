#pragma once
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

// One read or write of a UART register, with the value read or written.
struct RegisterAccess {
  bool write = false;
  std::uint16_t address = 0;
  std::uint8_t value = 0;
};

bool operator==(const RegisterAccess& a, const RegisterAccess& b);
bool operator!=(const RegisterAccess& a, const RegisterAccess& b);
std::ostream& operator<<(std::ostream& out, const RegisterAccess& access);

// Register accesses in order. A driver that busy-polls against a real clock
// makes millions of reads, so the log stops keeping entries at kLimit.
class AccessLog {
 public:
  static constexpr std::size_t kLimit = std::size_t{1} << 20;

  void Add(const RegisterAccess& access);
  void Clear();
  const std::vector<RegisterAccess>& entries() const { return entries_; }

 private:
  std::vector<RegisterAccess> entries_;
};
