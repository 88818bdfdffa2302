#include "sim/sim_uart16550.h"

namespace {

using namespace uart;

constexpr std::size_t kFifoDepth = 16;

}  // namespace

SimUart16550::SimUart16550(KorvelUnit& unit, MonotonicClock* clock)
    : unit_(unit), clock_(clock) {}

std::uint8_t SimUart16550::In(std::uint16_t address) {
  const std::uint8_t value = Read(address & 7);
  log_.Add({false, address, value});
  return value;
}

void SimUart16550::Out(std::uint16_t address, std::uint8_t value) {
  log_.Add({true, address, value});
  Write(address & 7, value);
}

std::uint8_t SimUart16550::Read(int offset) {
  switch (offset) {
    case kData:
      if (DivisorLatchOpen()) return divisor_low_;
      DeliverDueAnswers();
      if (!receiver_.empty()) {
        receive_buffer_ = receiver_.front();
        receiver_.pop_front();
        return receive_buffer_;
      }
      // An empty receive FIFO reads as zero; without FIFOs the holding
      // register still has its last byte.
      return fifo_enabled_ ? 0 : receive_buffer_;
    case kInterruptEnable:
      return DivisorLatchOpen() ? divisor_high_ : interrupt_enable_;
    case kFifoControl:
      // No interrupt pending; the top bits say whether the FIFOs are on.
      return fifo_enabled_ ? 0xC1 : 0x01;
    case kLineControl:
      return line_control_;
    case kModemControl:
      return modem_control_;
    case kLineStatus:
      return LineStatus();
    case kModemStatus:
      return ModemStatus();
    default:
      return scratch_;
  }
}

void SimUart16550::Write(int offset, std::uint8_t value) {
  switch (offset) {
    case kData:
      if (DivisorLatchOpen()) {
        divisor_low_ = value;
      } else {
        Transmit(value);
      }
      break;
    case kInterruptEnable:
      if (DivisorLatchOpen()) {
        divisor_high_ = value;
      } else {
        interrupt_enable_ = value & 0x0F;
      }
      break;
    case kFifoControl:
      WriteFifoControl(value);
      break;
    case kLineControl:
      line_control_ = value;
      break;
    case kModemControl:
      modem_control_ = value & 0x1F;
      break;
    case kScratch:
      scratch_ = value;
      break;
    default:
      break;  // the status registers are not written in use
  }
}

void SimUart16550::WriteFifoControl(std::uint8_t value) {
  const bool enable = (value & 0x01) != 0;
  if (enable != fifo_enabled_) {
    receiver_.clear();
    transmitter_.clear();
  }
  fifo_enabled_ = enable;
  if (!enable) return;
  if (value & 0x02) receiver_.clear();
  if (value & 0x04) transmitter_.clear();
}

std::uint8_t SimUart16550::LineStatus() {
  DeliverDueAnswers();
  std::uint8_t status = 0;
  if (!receiver_.empty()) status |= kDataReady;
  if (overrun_) status |= kOverrun;
  if (transmitter_.size() <= 1) status |= kHoldingEmpty;
  if (transmitter_.empty()) status |= kTransmitterEmpty;
  overrun_ = false;
  return status;
}

std::uint8_t SimUart16550::ModemStatus() {
  const bool cts = ClearToSend();
  std::uint8_t status = cts ? kClearToSend : 0;
  if (cts != last_cts_) status |= kDeltaClearToSend;
  last_cts_ = cts;
  if (Loopback()) {
    if (modem_control_ & kDtr) status |= 0x20;   // DSR
    if (modem_control_ & kOut1) status |= 0x40;  // RI
    if (modem_control_ & kOut2) status |= 0x80;  // DCD
  }
  return status;
}

bool SimUart16550::ClearToSend() const {
  const bool rts = (modem_control_ & kRts) != 0;
  if (Loopback()) return rts;
  return rts && unit_.behaviour().raises_cts;
}

void SimUart16550::Transmit(std::uint8_t byte) {
  if (hold_transmitter_) {
    const std::size_t room = (fifo_enabled_ ? kFifoDepth : 1) + 1;
    if (transmitter_.size() < room) transmitter_.push_back(byte);
    return;
  }
  if (Loopback()) {
    ReceiveFromLine(byte);
    return;
  }
  std::vector<std::uint8_t> answer = unit_.Receive(byte);
  if (answer.empty()) return;
  const int delay = unit_.behaviour().answer_delay_ms;
  if (delay > 0 && clock_ != nullptr) {
    in_flight_.push_back({clock_->NowMs() + delay, std::move(answer)});
    return;
  }
  for (std::uint8_t b : answer) ReceiveFromLine(b);
}

void SimUart16550::HoldTransmitter(bool hold) {
  hold_transmitter_ = hold;
  if (hold) return;
  std::deque<std::uint8_t> held;
  held.swap(transmitter_);
  for (std::uint8_t byte : held) Transmit(byte);
}

void SimUart16550::Inject(const std::vector<std::uint8_t>& bytes) {
  for (std::uint8_t byte : bytes) ReceiveFromLine(byte);
}

void SimUart16550::ReceiveFromLine(std::uint8_t byte) {
  const std::size_t capacity = fifo_enabled_ ? kFifoDepth : 1;
  if (receiver_.size() < capacity) {
    receiver_.push_back(byte);
    return;
  }
  overrun_ = true;
  // Without FIFOs the new byte overwrites the holding register; with them it
  // is lost.
  if (!fifo_enabled_) receiver_.back() = byte;
}

void SimUart16550::DeliverDueAnswers() {
  // Only a delayed answer with a clock to measure it is ever in flight.
  if (in_flight_.empty()) return;
  const std::int64_t now = clock_->NowMs();
  while (!in_flight_.empty() && in_flight_.front().due_ms <= now) {
    for (std::uint8_t byte : in_flight_.front().bytes) ReceiveFromLine(byte);
    in_flight_.pop_front();
  }
}
