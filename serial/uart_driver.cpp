#include "serial/uart_driver.h"

#include "serial/uart_registers.h"

namespace {

using namespace uart;

// How a wait ended.
enum class WaitEnd { kCameTrue, kTimedOut, kGivenUp };

// The watch is asked only once a wait has begun to take time.
bool GivenUp(WaitWatch* watch, UartWait wait, std::int64_t waited_ms) {
  return watch != nullptr && watch->GiveUp(wait, waited_ms);
}

// Empties the receiver: reads the line status, then the receive buffer,
// again and again while a byte was waiting. Times out only when bytes keep
// coming for the whole time limit.
WaitEnd DrainReceiver(PortIo& io, MonotonicClock& clock, WaitWatch* watch, std::uint16_t base) {
  bool flooding = false;
  std::int64_t since = 0;
  for (;;) {
    const bool was_ready = (io.In(base + kLineStatus) & kDataReady) != 0;
    io.In(base + kData);
    if (!was_ready) return WaitEnd::kCameTrue;
    // The clock is read only once something was waiting, so an idle line
    // costs nothing extra.
    if (!flooding) {
      flooding = true;
      since = clock.NowMs();
      continue;
    }
    const std::int64_t waited = clock.NowMs() - since;
    if (waited >= UartDriver::kTimeLimitMs) return WaitEnd::kTimedOut;
    if (GivenUp(watch, UartWait::kReceiverQuiet, waited)) return WaitEnd::kGivenUp;
  }
}

// Busy-polls a status register until a bit of mask is set. A condition that
// already holds is seen without reading the clock.
WaitEnd WaitFor(PortIo& io, MonotonicClock& clock, WaitWatch* watch, UartWait wait,
                std::uint16_t address, std::uint8_t mask) {
  if (io.In(address) & mask) return WaitEnd::kCameTrue;
  const std::int64_t since = clock.NowMs();
  for (;;) {
    if (io.In(address) & mask) return WaitEnd::kCameTrue;
    const std::int64_t waited = clock.NowMs() - since;
    if (waited >= UartDriver::kTimeLimitMs) return WaitEnd::kTimedOut;
    if (GivenUp(watch, wait, waited)) return WaitEnd::kGivenUp;
  }
}

SendStatus Failed(WaitEnd end, SendStatus timed_out) {
  return end == WaitEnd::kGivenUp ? SendStatus::kGivenUp : timed_out;
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
  went_out_ = false;
  if (!io_.Present(base)) return SendStatus::kPortMissing;

  const std::uint16_t line_status = base + kLineStatus;
  const std::uint16_t modem_status = base + kModemStatus;

  // Whatever the unit sent beyond its last answer must not pass for the
  // answer to this byte.
  const WaitEnd drained = DrainReceiver(io_, clock_, wait_watch_, base);
  if (drained != WaitEnd::kCameTrue) {
    if (!io_.Present(base)) return SendStatus::kPortMissing;
    return Failed(drained, SendStatus::kReceiverFlooded);
  }
  // The line free and CTS up, before the byte and again after it.
  const auto ready = [&]() {
    WaitEnd end = WaitFor(io_, clock_, wait_watch_, UartWait::kTransmitter, line_status,
                          kTransmitterEmpty);
    if (end != WaitEnd::kCameTrue) return Failed(end, SendStatus::kTransmitterStuck);
    end = WaitFor(io_, clock_, wait_watch_, UartWait::kCts, modem_status, kClearToSend);
    if (end != WaitEnd::kCameTrue) return Failed(end, SendStatus::kNoCts);
    return SendStatus::kSent;
  };
  SendStatus status = ready();
  if (status != SendStatus::kSent) return status;

  io_.Out(base + kData, static_cast<std::uint8_t>(byte & 0xFF));
  went_out_ = true;

  status = ready();
  if (status != SendStatus::kSent) return status;
  if (answer_wait_work_ != nullptr) answer_wait_work_->WhileAwaitingAnswer();
  const WaitEnd answered =
      WaitFor(io_, clock_, wait_watch_, UartWait::kAnswer, line_status, kDataReady);
  if (answered != WaitEnd::kCameTrue) return Failed(answered, SendStatus::kNoAnswer);
  io_.In(base + kData);  // the answer; its value carries no meaning
  // A port that went away meanwhile (an adapter pulled out) reads all ones,
  // which every wait above takes for readiness: the byte did not go out.
  if (!io_.Present(base)) return SendStatus::kPortMissing;
  return SendStatus::kSent;
}
