#include "sim/sim_uart16550.h"

namespace {

using namespace uart;

constexpr std::size_t kFifoDepth = 16;

}  // namespace

SimUart16550::SimUart16550(KorvelUnit& unit, MonotonicClock* clock)
    : unit_(unit), clock_(clock) {}

std::uint8_t SimUart16550::In(std::uint16_t address) { return Read(address & 7); }

void SimUart16550::Out(std::uint16_t address, std::uint8_t value) { Write(address & 7, value); }

std::uint8_t SimUart16550::Read(int offset) {
  std::uint8_t value = 0;
  if (registers_.Read(offset, &value)) return value;
  switch (offset) {
    case kData:
      DeliverDueAnswers();
      if (!receiver_.empty()) {
        receive_buffer_ = receiver_.front();
        receiver_.pop_front();
        return receive_buffer_;
      }
      // An empty receive FIFO reads as zero; without FIFOs the holding
      // register still has its last byte.
      return registers_.fifos_enabled() ? 0 : receive_buffer_;
    case kLineStatus:
      return LineStatus();
    default:
      return ModemStatus();
  }
}

void SimUart16550::Write(int offset, std::uint8_t value) {
  const RegisterWrite effect = registers_.Write(offset, value);
  if (effect.clear_receiver) receiver_.clear();
  if (effect.transmit) Transmit(value);
}

std::uint8_t SimUart16550::LineStatus() {
  DeliverDueAnswers();
  std::uint8_t status = 0;
  if (!receiver_.empty()) status |= kDataReady;
  if (overrun_) status |= kOverrun;
  status |= kHoldingEmpty | kTransmitterEmpty;
  overrun_ = false;
  return status;
}

std::uint8_t SimUart16550::ModemStatus() {
  const bool cts = ClearToSend();
  std::uint8_t status = cts ? kClearToSend : 0;
  if (cts != last_cts_) status |= kDeltaClearToSend;
  last_cts_ = cts;
  if (registers_.loopback()) {
    const std::uint8_t control = registers_.modem_control();
    if (control & kDtr) status |= kDataSetReady;
    if (control & kOut1) status |= kRingIndicator;
    if (control & kOut2) status |= kCarrierDetect;
  }
  return status;
}

bool SimUart16550::ClearToSend() const {
  const bool rts = (registers_.modem_control() & kRts) != 0;
  if (registers_.loopback()) return rts;
  return rts && unit_.behaviour().raises_cts;
}

void SimUart16550::Transmit(std::uint8_t byte) {
  if (registers_.loopback()) {
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

void SimUart16550::Inject(const std::vector<std::uint8_t>& bytes) {
  for (std::uint8_t byte : bytes) ReceiveFromLine(byte);
}

void SimUart16550::ReceiveFromLine(std::uint8_t byte) {
  const std::size_t capacity = registers_.fifos_enabled() ? kFifoDepth : 1;
  if (receiver_.size() < capacity) {
    receiver_.push_back(byte);
    return;
  }
  overrun_ = true;
  // Without FIFOs the new byte overwrites the holding register; with them it
  // is lost.
  if (!registers_.fifos_enabled()) receiver_.back() = byte;
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
