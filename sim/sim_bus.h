#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "serial/port_io.h"
#include "sim/register_access.h"
#include "sim/sim_uart16550.h"

// The PC's I/O address space as the driver sees it, with simulated UARTs
// plugged in at their bases. An address whose base has nothing attached reads
// 0xFF and swallows writes, as an empty slot on a real bus does.
class SimBus : public PortIo {
 public:
  // Base must be a multiple of 8 (the UART's eight registers); attaching at a
  // base again replaces the UART there. The UART must outlive the bus's use.
  void Attach(std::uint16_t base, SimUart16550& uart);

  std::uint8_t In(std::uint16_t address) override;
  void Out(std::uint16_t address, std::uint8_t value) override;
  bool Present(std::uint16_t base) override;
  // Nothing attached at a base reads as no such port.
  PortError LastError(std::uint16_t base) const override;

  // Every access through the bus, to any address, in order.
  const std::vector<RegisterAccess>& Log() const { return log_.entries(); }
  void ClearLog() { log_.Clear(); }

 private:
  SimUart16550* UartAt(std::uint16_t address) const;

  std::map<std::uint16_t, SimUart16550*> uarts_;
  AccessLog log_;
};
