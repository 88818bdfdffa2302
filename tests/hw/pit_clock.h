#pragma once
#include <cstdint>

#include "serial/monotonic_clock.h"

// Milliseconds counted on channel 0 of the PC's interval timer, which counts
// down at 1193182 Hz and wraps every 55 ms. NowMs has to be called at least
// that often for no wrap to be missed; the driver's busy waits call it far
// more often. A missed wrap would make time run slow, so a time limit could
// end late but never early.
class PitClock : public MonotonicClock {
 public:
  PitClock();
  std::int64_t NowMs() override;

 private:
  std::uint16_t last_count_;
  std::int64_t ms_ = 0;
  std::uint32_t part_ = 0;  // ticks times 1000 not yet a whole millisecond
};
