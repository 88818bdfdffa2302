#pragma once
#include <memory>
#include <string>
#include <vector>

#include "serial/device_port_io.h"

// The UART registers at each base played by a terminal device, such as
// {0x3F8, "/dev/ttyUSB0"}: divisor and line control become the termios line
// settings, DTR and RTS follow the modem control register, the line status
// comes from the terminal's queues and the modem status from its modem lines
// (a pseudo-terminal has none: its CTS counts as up).
//
// A terminal is taken as other serial programs on Linux take one (LineLock:
// its lock file and an flock), opened raw, without becoming the controlling
// terminal, and held exclusively (TIOCEXCL). One that hangs up (an adapter
// pulled out) or fails with an I/O error makes the port absent.
class PosixPortIo : public DevicePortIo {
 public:
  explicit PosixPortIo(std::vector<Line> lines);

 private:
  std::unique_ptr<SerialDevice> OpenDevice(const std::string& name, DeviceError* why) override;
};
