#include "serial/device_port_io.h"

#include <utility>

#include "serial/uart_registers.h"

using namespace uart;

DevicePortIo::DevicePortIo(std::vector<Line> lines) {
  for (Line& line : lines) {
    Port port;
    port.base = line.base;
    port.name = std::move(line.device);
    // Until it is programmed a port runs at 9600 baud, 8N1, DTR and RTS down.
    port.registers.Write(kLineControl, kDivisorLatch);
    port.registers.Write(kData, kBaudAtDivisorOne / 9600);
    port.registers.Write(kInterruptEnable, 0);
    port.registers.Write(kLineControl, kEightDataBits);
    ports_.push_back(std::move(port));
  }
}

DevicePortIo::Port* DevicePortIo::PortAt(std::uint16_t address, int* offset) {
  for (Port& port : ports_) {
    if (address >= port.base && address < port.base + kRegisterCount) {
      *offset = address - port.base;
      return &port;
    }
  }
  return nullptr;
}

bool DevicePortIo::Open(Port& port) {
  DeviceError why;
  std::unique_ptr<SerialDevice> device = OpenDevice(port.name, &why);
  if (device == nullptr) {
    // An adapter pulled out stays reported as such until the port opens again.
    if (port.error.problem != PortProblem::kWentAway) {
      port.error = why.error;
      port.why = why;
    }
    return false;
  }
  port.device = std::move(device);
  port.error = PortError{};
  port.why = DeviceError{};
  port.receiver_seen_empty = false;
  port.cts_seen_down = false;
  // Opened halfway through programming the divisor: the line settings follow
  // when the latch closes.
  if (!port.registers.divisor_latch_open()) {
    port.device->ApplyLineSettings(port.registers.line_settings(), port.registers.modem_control());
  }
  port.device->ApplyModemControl(port.registers.modem_control());
  // A device may turn the line down as it is set up (a serial server that
  // keeps other settings): the port is then not there.
  if (port.device->gone()) {
    port.error = PortError{PortProblem::kOther, port.device->gone_code()};
    port.why = port.device->gone_why();
    port.device.reset();
    return false;
  }
  return true;
}

// The port is closed so that the next attempt opens it afresh.
void DevicePortIo::WentAway(Port& port) {
  port.error = PortError{PortProblem::kWentAway, port.device->gone_code()};
  port.why = port.device->gone_why();
  port.device.reset();
}

std::uint8_t DevicePortIo::In(std::uint16_t address) {
  int offset = 0;
  Port* port = PortAt(address, &offset);
  if (port == nullptr || port->device == nullptr) return kNothingThere;

  // Only the access right after a status read may rely on what it saw.
  const bool seen_empty = port->receiver_seen_empty;
  port->receiver_seen_empty = false;

  std::uint8_t value = 0;
  if (port->registers.Read(offset, &value)) return value;
  SerialDevice& device = *port->device;
  switch (offset) {
    case kData:
      // Asking the system for a byte when none waits is the dearest access
      // there is, and the driver reads the receive buffer after every status
      // read that found it empty. A byte arriving in between stays for the
      // next status read, as it would had it come a moment later.
      value = seen_empty ? 0 : device.ReceiveByte();
      break;
    case kLineStatus:
      // Right after a status read found nothing received the driver is
      // waiting for a byte: the device may wait a little for one.
      value = LineStatusFrom(device.ReadQueues(seen_empty ? kIdleWaitMs : 0));
      port->receiver_seen_empty = (value & kDataReady) == 0;
      break;
    default:
      value = ModemStatusFrom(device.ReadModemLines(port->cts_seen_down ? kIdleWaitMs : 0));
      port->cts_seen_down = (value & kClearToSend) == 0;
      break;
  }
  if (device.gone()) {
    WentAway(*port);
    return kNothingThere;
  }
  return value;
}

std::uint8_t DevicePortIo::LineStatusFrom(const QueueFacts& queues) {
  std::uint8_t value = 0;
  if (queues.byte_waiting) value |= kDataReady;
  // A system queue has no holding register of its own: both empty together.
  if (queues.output_drained) value |= kHoldingEmpty | kTransmitterEmpty;
  if (queues.overrun) value |= kOverrun;
  if (queues.parity_error) value |= kParityError;
  if (queues.framing_error) value |= kFramingError;
  if (queues.break_received) value |= kBreak;
  return value;
}

std::uint8_t DevicePortIo::ModemStatusFrom(const ModemLines& lines) {
  // A line without modem lines has a unit that is always ready.
  if (!lines.present) return kModemLinesAssumedUp;
  std::uint8_t value = 0;
  if (lines.clear_to_send) value |= kClearToSend;
  if (lines.data_set_ready) value |= kDataSetReady;
  if (lines.ring) value |= kRingIndicator;
  if (lines.carrier_detect) value |= kCarrierDetect;
  return value;
}

void DevicePortIo::Out(std::uint16_t address, std::uint8_t value) {
  int offset = 0;
  Port* port = PortAt(address, &offset);
  if (port == nullptr) return;
  port->receiver_seen_empty = false;

  // The registers are kept even while the port is closed, so that a port
  // opened later gets the settings last programmed.
  const bool open = port->device != nullptr || Open(*port);
  const RegisterWrite effect = port->registers.Write(offset, value);
  if (!open) return;
  SerialDevice& device = *port->device;
  if (effect.transmit) device.TransmitByte(value);
  if (effect.clear_receiver || effect.clear_transmitter) {
    device.Clear(effect.clear_receiver, effect.clear_transmitter);
  }
  if (effect.line_settings) {
    device.ApplyLineSettings(port->registers.line_settings(), port->registers.modem_control());
  }
  if (effect.modem_control) device.ApplyModemControl(port->registers.modem_control());
  if (device.gone()) WentAway(*port);
}

bool DevicePortIo::Present(std::uint16_t base) {
  int offset = 0;
  Port* port = PortAt(base, &offset);
  if (port == nullptr || offset != 0) return false;
  if (port->device != nullptr) {
    if (port->device->Check()) return true;
    WentAway(*port);
  }
  // One that went away is opened again only by the next set-up (a write):
  // within a run, bytes after the gap would reach the unit mid-frame.
  if (port->error.problem == PortProblem::kWentAway) return false;
  return Open(*port);
}

PortError DevicePortIo::LastError(std::uint16_t base) const {
  for (const Port& port : ports_) {
    if (port.base == base) return port.error;
  }
  return PortError{PortProblem::kNoSuchPort, 0};
}

std::vector<StaleLock> DevicePortIo::TakeRemovedLocks() {
  std::vector<StaleLock> removed;
  removed.swap(removed_locks_);
  return removed;
}

std::string DevicePortIo::LastErrorDetail(std::uint16_t base) const {
  for (const Port& port : ports_) {
    if (port.base == base) return port.why.detail;
  }
  return std::string();
}

void DevicePortIo::LeadTo(std::uint16_t base, const std::string& device) {
  for (Port& port : ports_) {
    if (port.base != base || port.name == device) continue;
    port.device.reset();
    port.name = device;
    port.error = PortError{};
    port.why = DeviceError{};
    port.receiver_seen_empty = false;
  }
}

DeviceError DevicePortIo::LastDeviceError(std::uint16_t base) const {
  for (const Port& port : ports_) {
    if (port.base != base) continue;
    DeviceError why = port.why;
    why.error = port.error;
    return why;
  }
  return DeviceError{PortError{PortProblem::kNoSuchPort, 0}, std::string()};
}
