#pragma once
#include <cstdint>

#include "serial/monotonic_clock.h"

// A clock that moves by a fixed step on every reading (or not at all), so a
// busy wait on it runs out of time without real waiting.
class FakeClock : public MonotonicClock {
 public:
  explicit FakeClock(std::int64_t step_per_read_ms = 0, std::int64_t start_ms = 0)
      : now_ms_(start_ms), step_per_read_ms_(step_per_read_ms) {}

  // Returns the current time, then moves on by the step.
  std::int64_t NowMs() override {
    const std::int64_t now = now_ms_;
    now_ms_ += step_per_read_ms_;
    ++reads_;
    return now;
  }

  // The current time, without counting as a reading or taking a step.
  std::int64_t Peek() const { return now_ms_; }
  std::int64_t reads() const { return reads_; }

 private:
  std::int64_t now_ms_;
  std::int64_t step_per_read_ms_;
  std::int64_t reads_ = 0;
};
