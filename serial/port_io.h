#pragma once
#include <cstdint>

#include "serial/port_error.h"

// The seam between the UART driver and the machine: one byte in from an I/O
// address, one byte out to one. Whatever plays the UART sits behind it: real
// hardware, a stand-in on a serial device of the system, or a simulated 16550.
class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual std::uint8_t In(std::uint16_t address) = 0;
  virtual void Out(std::uint16_t address, std::uint8_t value) = 0;

  // Whether a UART is there at this base. Hardware ports always are; a
  // stand-in for a port the system could not open is not, so a run can stop
  // at once instead of waiting out the time limit.
  virtual bool Present(std::uint16_t /*base*/) { return true; }

  // Why the port at this base was last found not present; kNone while it is.
  virtual PortError LastError(std::uint16_t /*base*/) const { return {}; }
};
