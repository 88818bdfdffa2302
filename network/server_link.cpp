#include "network/server_link.h"

#include <chrono>

bool ServerLink::Pump(int wait_ms) {
  if (gone_) return false;
  std::uint8_t buffer[512];
  int count = channel_->Receive(buffer, sizeof buffer, wait_ms);
  // A read that did not fill the buffer took all there was: no need to ask
  // the system again, which costs a call per byte on a busy machine.
  while (count > 0) {
    owner_.Take(buffer, static_cast<std::size_t>(count));
    count = count == static_cast<int>(sizeof buffer) ? channel_->Receive(buffer, sizeof buffer, 0)
                                                     : 0;
  }
  if (count < 0) WentAway();
  read_since_sent_ = true;
  return !gone_;
}

void ServerLink::Send(const std::vector<std::uint8_t>& bytes) {
  if (gone_) return;
  read_since_sent_ = false;
  if (!channel_->Send(bytes.data(), bytes.size())) WentAway();
}

bool ServerLink::WaitUntil(const std::function<bool()>& done, std::int64_t limit_ms,
                           const StopCheck* stop) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  while (!done()) {
    if (StopAsked(stop)) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !Pump(static_cast<int>(left < kStopPollMs ? left : kStopPollMs))) {
      return done();
    }
  }
  return true;
}

void ServerLink::WentAway() {
  if (gone_) return;
  gone_ = true;
  owner_.LinkGone(channel_->error_code(), channel_->closed());
}

QueueFacts ServerLink::Queues(const std::deque<std::uint8_t>& received, int wait_ms) {
  // Once the connection has been read since the last byte went out, only the
  // wait for an answer needs to ask again: each read costs a call into the
  // system, several a byte, which a machine with many units feels.
  if (!(read_since_sent_ && wait_ms == 0)) Pump(0);
  if (wait_ms > 0 && received.empty()) Pump(wait_ms);
  QueueFacts facts;
  facts.byte_waiting = !received.empty();
  // Each byte is handed to the system whole when written.
  facts.output_drained = true;
  return facts;
}

std::uint8_t ServerLink::NextByte(std::deque<std::uint8_t>& received) {
  if (received.empty()) Pump(0);
  if (received.empty()) return 0;
  const std::uint8_t value = received.front();
  received.pop_front();
  return value;
}
