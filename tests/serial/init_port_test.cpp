#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "serial/uart_driver.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"
#include "tests/serial/trace.h"

using ::testing::ElementsAre;

namespace {

class InitPortTest : public ::testing::Test {
 protected:
  InitPortTest() : com1_(unit1_), com2_(unit2_), driver_(bus_, clock_) {
    bus_.Attach(0x3F8, com1_);
    bus_.Attach(0x2F8, com2_);
  }

  KorvelUnit unit1_, unit2_;
  SimUart16550 com1_, com2_;
  SimBus bus_;
  FakeClock clock_{1};
  UartDriver driver_;
};

TEST(BaseForTest, OnlyPortTwoIsCom2) {
  EXPECT_EQ(UartDriver::BaseFor(2), 0x2F8);
  EXPECT_EQ(UartDriver::BaseFor(1), 0x3F8);
  EXPECT_EQ(UartDriver::BaseFor(0), 0x3F8);
  EXPECT_EQ(UartDriver::BaseFor(3), 0x3F8);
  EXPECT_EQ(UartDriver::BaseFor(-2), 0x3F8);
}

TEST_F(InitPortTest, Com2WritesItsSevenRegistersInOrder) {
  driver_.InitPort(2);
  EXPECT_THAT(Trace(bus_.Log()),
              ElementsAre("out 2F9 00", "out 2FB 80", "out 2F8 0C", "out 2F9 00", "out 2FB 03",
                          "out 2FA C7", "out 2FC 0B"));
  EXPECT_TRUE(com1_.Log().empty());
}

TEST_F(InitPortTest, Com1WritesItsSevenRegistersInOrder) {
  driver_.InitPort(1);
  EXPECT_THAT(Trace(bus_.Log()),
              ElementsAre("out 3F9 00", "out 3FB 80", "out 3F8 0C", "out 3F9 00", "out 3FB 03",
                          "out 3FA C7", "out 3FC 0B"));
  EXPECT_TRUE(com2_.Log().empty());
}

TEST_F(InitPortTest, NoPortChosenProgramsCom1) {
  driver_.InitPort(0);
  EXPECT_THAT(Trace(bus_.Log()),
              ElementsAre("out 3F9 00", "out 3FB 80", "out 3F8 0C", "out 3F9 00", "out 3FB 03",
                          "out 3FA C7", "out 3FC 0B"));
  EXPECT_TRUE(com2_.Log().empty());
}

TEST_F(InitPortTest, LeavesTheUartAt9600EightNoneOneWithFifosAndHandshakeLines) {
  driver_.InitPort(2);
  EXPECT_EQ(com2_.Divisor(), 12);  // 115200 / 12 = 9600 baud
  EXPECT_EQ(com2_.LineControl(), 0x03);
  EXPECT_EQ(com2_.InterruptEnable(), 0x00);
  EXPECT_TRUE(com2_.FifoEnabled());
  EXPECT_EQ(com2_.ReceiveTriggerLevel(), 14);
  EXPECT_EQ(com2_.ModemControl(), 0x0B);
  EXPECT_TRUE(com2_.ClearToSend());
  // Setting the divisor must not put a byte on the line.
  EXPECT_TRUE(unit2_.Received().empty());
}

TEST_F(InitPortTest, EmptiesAReceiverHoldingOldBytes) {
  com1_.Inject({0x11, 0x22});
  driver_.InitPort(1);
  EXPECT_EQ(com1_.ReceiverCount(), 0u);
}

TEST_F(InitPortTest, SwitchingPortsLeavesTheFirstPortAsItWas) {
  driver_.InitPort(2);
  driver_.InitPort(1);
  EXPECT_EQ(com2_.Divisor(), 12);
  EXPECT_EQ(com2_.ModemControl(), 0x0B);
  EXPECT_EQ(com1_.Divisor(), 12);
  EXPECT_EQ(com1_.ModemControl(), 0x0B);
}

}  // namespace
