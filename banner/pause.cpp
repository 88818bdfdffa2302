#include "banner/pause.h"

#include <chrono>

// std::chrono's system clock costs well under a microsecond a reading under
// Wine; the C runtime's millisecond time of day costs several, and 10,001 of
// those would stretch the pause to tens of milliseconds.
TimeOfDay SystemTimeOfDay::Now() {
  TimeOfDay now;
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
  now.seconds = ms / 1000;
  now.milliseconds = static_cast<int>(ms % 1000);
  return now;
}

void Delay(TimeOfDaySource& clock) {
  // The readings land in a volatile so that no optimiser can decide the loop
  // does nothing; the pause is exactly the time these readings take.
  volatile std::int64_t sink = clock.Now().milliseconds;
  for (int i = 0; i < kPauseReadings; ++i) {
    sink = clock.Now().milliseconds;
  }
  (void)sink;
}
