#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "serial/uart_driver.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"
#include "tests/serial/scripted_port.h"
#include "tests/serial/trace.h"

using ::testing::ElementsAre;

namespace {

constexpr std::uint16_t kData = 0x3F8;
constexpr std::uint16_t kLineStatus = 0x3FD;
constexpr std::uint16_t kModemStatus = 0x3FE;

// A COM1 port whose status registers are scripted; the clock moves 1 ms per
// reading, so every wait that never ends runs into the time limit at once.
class SendByteTimeoutTest : public ::testing::Test {
 protected:
  SendStatus Send() { return driver_.SendByte(1, 0x33); }

  ScriptedPort port_;
  FakeClock clock_{1};
  UartDriver driver_{port_, clock_};
};

TEST_F(SendByteTimeoutTest, TransmitterNeverEmptyBeforeTheByte) {
  port_.Script(kLineStatus, {}, 0x20);  // holding register empty, shift register busy
  port_.Script(kModemStatus, {}, 0x10);
  EXPECT_EQ(Send(), SendStatus::kTransmitterStuck);
  EXPECT_EQ(CountWrites(port_.log), 0u);
  EXPECT_GE(clock_.Peek(), UartDriver::kTimeLimitMs);
}

TEST_F(SendByteTimeoutTest, TransmitterNeverEmptiesAfterTheByte) {
  port_.Script(kLineStatus, {0x00, 0x40}, 0x00);
  port_.Script(kModemStatus, {}, 0x10);
  EXPECT_EQ(Send(), SendStatus::kTransmitterStuck);
  EXPECT_EQ(CountWrites(port_.log), 1u);
  EXPECT_GE(clock_.Peek(), UartDriver::kTimeLimitMs);
}

TEST_F(SendByteTimeoutTest, CtsNeverRisesBeforeTheByte) {
  port_.Script(kLineStatus, {}, 0x60);
  port_.Script(kModemStatus, {}, 0x01);  // a change bit, but no CTS
  EXPECT_EQ(Send(), SendStatus::kNoCts);
  EXPECT_EQ(CountWrites(port_.log), 0u);
  EXPECT_GE(clock_.Peek(), UartDriver::kTimeLimitMs);
}

TEST_F(SendByteTimeoutTest, CtsDropsForGoodAfterTheByte) {
  port_.Script(kLineStatus, {}, 0x60);
  port_.Script(kModemStatus, {0x10}, 0x00);
  EXPECT_EQ(Send(), SendStatus::kNoCts);
  EXPECT_EQ(CountWrites(port_.log), 1u);
}

TEST_F(SendByteTimeoutTest, NoAnswerLeavesTheReceiverUnread) {
  port_.Script(kLineStatus, {}, 0x60);
  port_.Script(kModemStatus, {}, 0x10);
  EXPECT_EQ(Send(), SendStatus::kNoAnswer);
  // The only receive-buffer read is the drain's before the byte went out.
  std::size_t data_reads = 0;
  for (const auto& access : port_.log) {
    if (!access.write && access.address == kData) ++data_reads;
  }
  EXPECT_EQ(data_reads, 1u);
  EXPECT_GE(clock_.Peek(), UartDriver::kTimeLimitMs);
}

TEST_F(SendByteTimeoutTest, ABabblingLineEndsTheDrain) {
  port_.Script(kLineStatus, {}, 0x61);  // a byte is always waiting
  port_.Script(kModemStatus, {}, 0x10);
  EXPECT_EQ(Send(), SendStatus::kReceiverFlooded);
  EXPECT_EQ(CountWrites(port_.log), 0u);
  EXPECT_GE(clock_.Peek(), UartDriver::kTimeLimitMs);
}

TEST_F(SendByteTimeoutTest, ALongButFiniteBurstIsDrained) {
  // 2,000 bytes waiting take 2,000 polls, less than the time limit; then
  // the line goes quiet, the transmitter is empty before and after the byte,
  // and the answer comes.
  std::vector<std::uint8_t> status(2000, 0x61);
  status.insert(status.end(), {0x60, 0x60, 0x60});
  port_.Script(kLineStatus, status, 0x61);
  port_.Script(kModemStatus, {}, 0x10);
  EXPECT_EQ(Send(), SendStatus::kSent);
  EXPECT_EQ(CountWrites(port_.log), 1u);
}

TEST(SendByteMissingPortTest, AMissingPortIsReportedWithoutTouchingIt) {
  KorvelUnit unit;
  SimUart16550 com1(unit);
  SimBus bus;
  bus.Attach(0x3F8, com1);
  FakeClock clock(1);
  UartDriver driver(bus, clock);
  EXPECT_EQ(driver.SendByte(2, 0x41), SendStatus::kPortMissing);
  EXPECT_TRUE(bus.Log().empty());
  EXPECT_TRUE(com1.Log().empty());
  EXPECT_EQ(clock.reads(), 0);
}

TEST(SendByteMissingPortTest, AStandInThatCouldNotOpenThePortIsMissing) {
  ScriptedPort port;
  port.SetPresent(false);
  FakeClock clock(1);
  UartDriver driver(port, clock);
  EXPECT_EQ(driver.SendByte(1, 0x41), SendStatus::kPortMissing);
  EXPECT_TRUE(port.log.empty());
}

TEST(SendByteDeadUnitTest, AUnitThatNeverAnswersTookTheByteButIsNoAnswer) {
  UnitBehaviour silent;
  silent.answers = false;
  KorvelUnit unit(silent);
  FakeClock clock(1);
  SimUart16550 uart(unit, &clock);
  SimBus bus;
  bus.Attach(0x2F8, uart);
  UartDriver driver(bus, clock);
  driver.InitPort(2);
  EXPECT_EQ(driver.SendByte(2, 0x20), SendStatus::kNoAnswer);
  EXPECT_THAT(unit.Received(), ElementsAre(0x20));
}

TEST(SendByteDeadUnitTest, AnUnprogrammedPortWithoutRtsGetsNothing) {
  // Without InitPort, RTS is down and the unit does not signal ready.
  KorvelUnit unit;
  FakeClock clock(1);
  SimUart16550 uart(unit, &clock);
  SimBus bus;
  bus.Attach(0x3F8, uart);
  UartDriver driver(bus, clock);
  EXPECT_EQ(driver.SendByte(1, 0x20), SendStatus::kNoCts);
  EXPECT_TRUE(unit.Received().empty());
}

}  // namespace
