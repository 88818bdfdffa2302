#pragma once
#include <cstdint>

#include "serial/port_io.h"

// User code may not touch I/O ports on Windows, so the UART registers of COM1
// (0x3F8-0x3FE) and COM2 (0x2F8-0x2FE) are played by the Windows
// communications API: writes to the line and modem control registers become
// port settings, status reads come from the port's queues and modem lines.
//
// A port is opened on its first use and stays open until the object dies.
// A port that could not be opened is tried again on the next write or
// Present() call, so an adapter plugged in later is found without a restart.
// While a port is closed its registers read 0xFF, like a missing UART, and
// writes to it go nowhere.
class CommPortIo : public PortIo {
 public:
  CommPortIo();
  ~CommPortIo() override;
  CommPortIo(const CommPortIo&) = delete;
  CommPortIo& operator=(const CommPortIo&) = delete;

  std::uint8_t In(std::uint16_t address) override;
  void Out(std::uint16_t address, std::uint8_t value) override;
  bool Present(std::uint16_t base) override;

 private:
  // What a real UART would hold in its registers; the port only gets settings.
  struct Port {
    const char* device;
    void* handle = nullptr;  // a Windows HANDLE; null while closed
    bool modem_lines_unsupported = false;
    bool receiver_seen_empty = false;  // by the status read just before
    // Until the port is programmed: 9600 baud, 8N1, DTR and RTS down.
    std::uint8_t divisor_low = 12;
    std::uint8_t divisor_high = 0;
    std::uint8_t interrupt_enable = 0;
    std::uint8_t fifo_control = 0;
    std::uint8_t line_control = 0x03;
    std::uint8_t modem_control = 0;
    std::uint8_t scratch = 0;
  };

  Port* PortAt(std::uint16_t address, int* offset);
  bool IsAlive(Port& port);
  bool Open(Port& port);
  void Close(Port& port);
  bool ApplyLineSettings(Port& port);
  void ApplyModemControl(Port& port);
  std::uint8_t LineStatus(Port& port);
  std::uint8_t ModemStatus(Port& port);
  std::uint8_t ReceiveByte(Port& port, bool seen_empty);
  void TransmitByte(Port& port, std::uint8_t value);

  Port ports_[2];
};
