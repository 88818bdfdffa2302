#pragma once
#include <cstdint>

#include "serial/port_io.h"

// One byte in from or out to an x86 I/O port, by the in and out instructions.
inline std::uint8_t InByte(std::uint16_t port) {
  std::uint8_t value;
  asm volatile("inb %1, %0" : "=a"(value) : "Nd"(port));
  return value;
}

inline void OutByte(std::uint16_t port, std::uint8_t value) {
  asm volatile("outb %0, %1" : : "a"(value), "Nd"(port));
}

// The driver's seam on a PC of its own: its addresses are the I/O ports.
class X86PortIo : public PortIo {
 public:
  std::uint8_t In(std::uint16_t address) override { return InByte(address); }
  void Out(std::uint16_t address, std::uint8_t value) override { OutByte(address, value); }
};
