#pragma once
#include <cstdint>

// A reading of the wall clock with a millisecond field.
struct TimeOfDay {
  std::int64_t seconds = 0;
  int milliseconds = 0;
};

class TimeOfDaySource {
 public:
  virtual ~TimeOfDaySource() = default;
  virtual TimeOfDay Now() = 0;
};

// The system's wall clock.
class SystemTimeOfDay : public TimeOfDaySource {
 public:
  TimeOfDay Now() override;
};

// The pause between the blank and the message frame: one reading of the clock,
// then 10,000 more. Its length is whatever those readings take.
constexpr int kPauseReadings = 10000;
void Delay(TimeOfDaySource& clock);
