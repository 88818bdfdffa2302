#include "sim/sim_bus.h"

#include <stdexcept>

void SimBus::Attach(std::uint16_t base, SimUart16550& uart) {
  if (base % 8 != 0) throw std::invalid_argument("UART base must be a multiple of 8");
  uarts_[base] = &uart;
}

SimUart16550* SimBus::UartAt(std::uint16_t address) const {
  const auto found = uarts_.find(static_cast<std::uint16_t>(address & ~7u));
  return found == uarts_.end() ? nullptr : found->second;
}

std::uint8_t SimBus::In(std::uint16_t address) {
  SimUart16550* uart = UartAt(address);
  const std::uint8_t value = uart != nullptr ? uart->In(address) : 0xFF;
  log_.Add({false, address, value});
  return value;
}

void SimBus::Out(std::uint16_t address, std::uint8_t value) {
  log_.Add({true, address, value});
  if (SimUart16550* uart = UartAt(address)) uart->Out(address, value);
}

bool SimBus::Present(std::uint16_t base) { return uarts_.count(base) != 0; }

PortError SimBus::LastError(std::uint16_t base) const {
  if (uarts_.count(base) != 0) return PortError{};
  return PortError{PortProblem::kNoSuchPort, 0};
}
