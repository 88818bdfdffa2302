#pragma once
#include <memory>
#include <string>
#include <vector>

#include "serial/device_port_io.h"

// User code may not touch I/O ports on Windows, so the UART registers at each
// base are played by the Windows communications API on a serial device: COM1
// at 0x3F8 and COM2 at 0x2F8 unless told otherwise, such as {0x3F8,
// "\\\\.\\COM7"}.
class CommPortIo : public DevicePortIo {
 public:
  CommPortIo();
  explicit CommPortIo(std::vector<Line> lines);

 private:
  std::unique_ptr<SerialDevice> OpenDevice(const std::string& name, DeviceError* why) override;
};

// What a failed open's system error (GetLastError) means to the operator.
PortProblem ProblemForOpenError(unsigned long code);
