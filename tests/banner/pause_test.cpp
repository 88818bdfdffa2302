#include "banner/pause.h"

#include <gtest/gtest.h>

namespace {

class CountingClock : public TimeOfDaySource {
 public:
  TimeOfDay Now() override {
    ++readings;
    // A clock that jumps a whole second each time: the pause must not care.
    TimeOfDay t;
    t.seconds = readings;
    t.milliseconds = readings % 1000;
    return t;
  }
  int readings = 0;
};

TEST(Delay, ReadsTheClockOnceThenTenThousandMoreTimes) {
  CountingClock clock;
  Delay(clock);
  EXPECT_EQ(clock.readings, 1 + kPauseReadings);
  EXPECT_EQ(kPauseReadings, 10000);
}

TEST(SystemTimeOfDay, GivesAPlausibleWallClockTime) {
  SystemTimeOfDay clock;
  const TimeOfDay first = clock.Now();
  const TimeOfDay second = clock.Now();
  EXPECT_GE(first.milliseconds, 0);
  EXPECT_LT(first.milliseconds, 1000);
  // After 2020-01-01 and never going back between two close readings.
  EXPECT_GT(first.seconds, 1577836800);
  EXPECT_GE(second.seconds * 1000 + second.milliseconds, first.seconds * 1000 + first.milliseconds);
}

}  // namespace
