// The handshake as the simulated UART plays it for the driver's tests: what
// the driver's register traces do not already pin down.
#include <gtest/gtest.h>

#include "serial/uart_driver.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"
#include "sim/sim_uart16550.h"

namespace {

constexpr std::uint16_t kData = 0x3F8;
constexpr std::uint16_t kModemControl = 0x3FC;
constexpr std::uint16_t kLineStatus = 0x3FD;
constexpr std::uint16_t kModemStatus = 0x3FE;

// A UART at 0x3F8 set up by the driver: 9600 8N1, FIFOs on, DTR RTS OUT2.
struct Uart {
  explicit Uart(UnitBehaviour behaviour = {}) : unit(behaviour), uart(unit, &clock) {
    SimBus bus;
    bus.Attach(kData, uart);
    UartDriver(bus, clock).InitPort(1);
  }
  FakeClock clock;
  KorvelUnit unit;
  SimUart16550 uart;
};

TEST(SimUartTest, CtsNeedsAWillingUnitAndTheHostsRts) {
  Uart u;
  EXPECT_EQ(u.uart.In(kModemStatus) & 0x10, 0x10);
  u.uart.Out(kModemControl, 0x09);  // RTS down
  EXPECT_EQ(u.uart.In(kModemStatus) & 0x10, 0x00);

  UnitBehaviour busy;
  busy.raises_cts = false;
  EXPECT_EQ(Uart(busy).uart.In(kModemStatus) & 0x10, 0x00);
}

TEST(SimUartTest, ALateAnswerIsReadableOnlyOnceItsDelayHasPassed) {
  UnitBehaviour late;
  late.answer_delay_ms = 50;
  Uart u(late);
  u.uart.Out(kData, 'L');
  u.clock.Advance(49);
  EXPECT_EQ(u.uart.In(kLineStatus) & 0x01, 0x00);
  u.clock.Advance(1);
  EXPECT_EQ(u.uart.In(kLineStatus) & 0x01, 0x01);
  EXPECT_EQ(u.uart.In(kData), 0x06);
}

}  // namespace
