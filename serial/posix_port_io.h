#pragma once
#include <termios.h>

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
// A terminal is opened raw, without becoming the controlling terminal, and
// held exclusively: TIOCEXCL, and an flock, which also stops root. One that
// hangs up (an adapter pulled out) or fails with an I/O error makes the port
// absent.
class PosixPortIo : public DevicePortIo {
 public:
  explicit PosixPortIo(std::vector<Line> lines);

 private:
  std::unique_ptr<SerialDevice> OpenDevice(const std::string& name, PortError* error) override;
};

// Termios settings changed to a line's: raw, without flow control of their
// own, reads that never wait, and the line's rate and format unless termios
// has no name for the rate. Flags it does not speak of stay as they were.
void SetTermiosLine(const LineSettings& line, termios* settings);

// What a failed open's errno means to the operator.
PortProblem ProblemForOpenErrno(int code);
