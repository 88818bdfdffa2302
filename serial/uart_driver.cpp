#include "serial/uart_driver.h"

#include "serial/uart_registers.h"

namespace {

using namespace uart;

// Empties the receiver: reads the line status, then the receive buffer,
// again and again while a byte was waiting. Fails only when bytes keep coming
// for the whole time limit.
bool DrainReceiver(PortIo& io, MonotonicClock& clock, std::uint16_t base) {
  bool flooding = false;
  std::int64_t since = 0;
  for (;;) {
    const bool was_ready = (io.In(base + kLineStatus) & kDataReady) != 0;
    io.In(base + kData);
    if (!was_ready) return true;
    // The clock is read only once something was waiting, so an idle line
    // costs nothing extra.
    if (!flooding) {
      flooding = true;
      since = clock.NowMs();
    } else if (clock.NowMs() - since >= UartDriver::kTimeLimitMs) {
      return false;
    }
  }
}

// Busy-polls a status register until a bit of mask is set. A condition that
// already holds is seen without reading the clock.
bool WaitFor(PortIo& io, MonotonicClock& clock, std::uint16_t address, std::uint8_t mask) {
  if (io.In(address) & mask) return true;
  const std::int64_t since = clock.NowMs();
  for (;;) {
    if (io.In(address) & mask) return true;
    if (clock.NowMs() - since >= UartDriver::kTimeLimitMs) return false;
  }
}

}  // namespace

std::uint16_t UartDriver::BaseFor(int port) {
  return port == 2 ? kCom2Base : kCom1Base;
}

void UartDriver::InitPort(int port) {
  constexpr std::uint16_t kDivisor = kBaudAtDivisorOne / kBaud;
  const std::uint16_t base = BaseFor(port);
  io_.Out(base + kInterruptEnable, 0);  // no interrupts
  // The divisor's two bytes are reachable only while the latch is open.
  io_.Out(base + kLineControl, kDivisorLatch);
  io_.Out(base + kData, kDivisor & 0xFF);
  io_.Out(base + kInterruptEnable, kDivisor >> 8);
  io_.Out(base + kLineControl, kEightDataBits);  // no parity, one stop bit, latch closed
  io_.Out(base + kFifoControl, kFifoEnable | kClearReceiver | kClearTransmitter | kTriggerAt14);
  io_.Out(base + kModemControl, kDtr | kRts | kOut2);
}

SendStatus UartDriver::SendByte(int port, int byte) {
  const std::uint16_t base = BaseFor(port);
  if (!io_.Present(base)) return SendStatus::kPortMissing;

  const std::uint16_t line_status = base + kLineStatus;
  const std::uint16_t modem_status = base + kModemStatus;

  // Whatever the unit sent beyond its last answer must not pass for the
  // answer to this byte.
  if (!DrainReceiver(io_, clock_, base)) {
    return io_.Present(base) ? SendStatus::kReceiverFlooded : SendStatus::kPortMissing;
  }
  if (!WaitFor(io_, clock_, line_status, kTransmitterEmpty)) return SendStatus::kTransmitterStuck;
  if (!WaitFor(io_, clock_, modem_status, kClearToSend)) return SendStatus::kNoCts;

  io_.Out(base + kData, static_cast<std::uint8_t>(byte & 0xFF));

  if (!WaitFor(io_, clock_, line_status, kTransmitterEmpty)) return SendStatus::kTransmitterStuck;
  if (!WaitFor(io_, clock_, modem_status, kClearToSend)) return SendStatus::kNoCts;
  if (answer_wait_work_ != nullptr) answer_wait_work_->WhileAwaitingAnswer();
  if (!WaitFor(io_, clock_, line_status, kDataReady)) return SendStatus::kNoAnswer;
  io_.In(base + kData);  // the answer; its value carries no meaning
  // A port that went away meanwhile (an adapter pulled out) reads all ones,
  // which every wait above takes for readiness: the byte did not go out.
  if (!io_.Present(base)) return SendStatus::kPortMissing;
  return SendStatus::kSent;
}
