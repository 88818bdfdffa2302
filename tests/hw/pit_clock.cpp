#include "tests/hw/pit_clock.h"

#include "tests/hw/x86_io.h"

namespace {

constexpr std::uint16_t kChannel0 = 0x40;
constexpr std::uint16_t kCommand = 0x43;
constexpr std::uint8_t kChannel0RateGenerator = 0x34;  // mode 2, low then high byte
constexpr std::uint8_t kChannel0Latch = 0x00;
constexpr std::uint32_t kTicksPerSecond = 1193182;

std::uint16_t ReadCount() {
  OutByte(kCommand, kChannel0Latch);
  const std::uint8_t low = InByte(kChannel0);
  const std::uint8_t high = InByte(kChannel0);
  return static_cast<std::uint16_t>(low | high << 8);
}

}  // namespace

PitClock::PitClock() {
  // The firmware leaves channel 0 in square-wave mode, which counts down by
  // two; the rate generator counts by one. A reload of 0 means 65536.
  OutByte(kCommand, kChannel0RateGenerator);
  OutByte(kChannel0, 0);
  OutByte(kChannel0, 0);
  last_count_ = ReadCount();
}

std::int64_t PitClock::NowMs() {
  const std::uint16_t count = ReadCount();
  const std::uint16_t ticks = static_cast<std::uint16_t>(last_count_ - count);
  last_count_ = count;
  // ticks * 1000 / kTicksPerSecond is milliseconds; carrying the remainder
  // keeps it exact with 32-bit division, as there is no library for 64-bit.
  part_ += ticks * 1000u;
  ms_ += part_ / kTicksPerSecond;
  part_ %= kTicksPerSecond;
  return ms_;
}
