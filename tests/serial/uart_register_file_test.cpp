#include "serial/uart_register_file.h"

#include <gtest/gtest.h>

namespace {

using namespace uart;

LineSettings Programmed(std::uint16_t divisor, std::uint8_t line_control) {
  UartRegisterFile registers;
  registers.Write(kLineControl, kDivisorLatch);
  registers.Write(kData, divisor & 0xFF);
  registers.Write(kInterruptEnable, divisor >> 8);
  registers.Write(kLineControl, line_control);
  return registers.line_settings();
}

TEST(UartRegisterFileTest, DivisorAndLineControlStandForALine) {
  const struct {
    std::uint16_t divisor;
    std::uint8_t line_control;
    LineSettings line;
  } cases[] = {
      {12, kEightDataBits, {9600, 8, false, Parity::kNone}},
      {384, 0x02 | kTwoStopBits | kParityOn | kEvenParity, {300, 7, true, Parity::kEven}},
      {1, 0x01 | kParityOn, {115200, 6, false, Parity::kOdd}},
      {3, 0x00 | kParityOn | kStickParity, {38400, 5, false, Parity::kMark}},
      {3, kEightDataBits | kParityOn | kStickParity | kEvenParity,
       {38400, 8, false, Parity::kSpace}},
      {0, kEightDataBits, {0, 8, false, Parity::kNone}},
  };
  for (const auto& c : cases) {
    const LineSettings line = Programmed(c.divisor, c.line_control);
    EXPECT_EQ(line.baud, c.line.baud) << int{c.line_control};
    EXPECT_EQ(line.data_bits, c.line.data_bits) << int{c.line_control};
    EXPECT_EQ(line.long_stop, c.line.long_stop) << int{c.line_control};
    EXPECT_EQ(line.parity, c.line.parity) << int{c.line_control};
  }
}

}  // namespace
