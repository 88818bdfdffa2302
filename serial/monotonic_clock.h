#pragma once
#include <cstdint>

// Milliseconds from a clock that never goes back; the driver's time limits
// read it, and tests replace it so a time-out takes no real time.
class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  virtual std::int64_t NowMs() = 0;
};

class SteadyClock : public MonotonicClock {
 public:
  std::int64_t NowMs() override;
};
