#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "serial/port_io.h"
#include "serial/uart_register_file.h"

// User code may not touch I/O ports on Windows, so the UART registers at each
// base are played by the Windows communications API on a serial device (COM1
// at 0x3F8 and COM2 at 0x2F8 unless told otherwise): writes to the line and
// modem control registers become port settings, status reads come from the
// port's queues and modem lines.
//
// A port is opened on its first use and stays open until the object dies.
// A port that could not be opened is tried again on the next write or
// Present() call, so an adapter plugged in later is found without a restart;
// why it could not be opened is kept (LastError). While a port is closed its
// registers read 0xFF, like a missing UART, and writes to it go nowhere.
class CommPortIo : public PortIo {
 public:
  // A UART base and the device it leads to, such as "\\\\.\\COM3".
  struct Line {
    std::uint16_t base;
    std::string device;
  };

  CommPortIo();
  explicit CommPortIo(std::vector<Line> lines);
  ~CommPortIo() override;
  CommPortIo(const CommPortIo&) = delete;
  CommPortIo& operator=(const CommPortIo&) = delete;

  std::uint8_t In(std::uint16_t address) override;
  void Out(std::uint16_t address, std::uint8_t value) override;
  bool Present(std::uint16_t base) override;
  PortError LastError(std::uint16_t base) const override;

 private:
  struct Port {
    std::uint16_t base;
    std::string device;
    void* handle = nullptr;  // a Windows HANDLE; null while closed
    bool modem_lines_unsupported = false;
    bool receiver_seen_empty = false;  // by the status read just before
    UartRegisterFile registers;
    PortError error;
  };

  Port* PortAt(std::uint16_t address, int* offset);
  bool IsAlive(Port& port);
  bool Open(Port& port);
  void Close(Port& port);
  void WentAway(Port& port);
  bool ApplyLineSettings(Port& port);
  void ApplyModemControl(Port& port);
  std::uint8_t LineStatus(Port& port);
  std::uint8_t ModemStatus(Port& port);
  std::uint8_t ReceiveByte(Port& port, bool seen_empty);
  void TransmitByte(Port& port, std::uint8_t value);

  std::vector<Port> ports_;
};

// What a failed open's system error (GetLastError) means to the operator.
PortProblem ProblemForOpenError(unsigned long code);
