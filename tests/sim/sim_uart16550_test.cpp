#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/fake_clock.h"
#include "sim/sim_uart16550.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Registers of a UART at 0x3F8.
constexpr std::uint16_t kData = 0x3F8;
constexpr std::uint16_t kIer = 0x3F9;
constexpr std::uint16_t kFifo = 0x3FA;
constexpr std::uint16_t kLcr = 0x3FB;
constexpr std::uint16_t kMcr = 0x3FC;
constexpr std::uint16_t kLsr = 0x3FD;
constexpr std::uint16_t kMsr = 0x3FE;

class SimUartTest : public ::testing::Test {
 protected:
  explicit SimUartTest(UnitBehaviour behaviour = {})
      : unit_(std::move(behaviour)), uart_(unit_, &clock_) {}

  // 9600 8N1, FIFOs on, DTR RTS OUT2: the set-up the driver makes.
  void SetUp9600() {
    uart_.Out(kLcr, 0x80);
    uart_.Out(kData, 0x0C);
    uart_.Out(kIer, 0x00);
    uart_.Out(kLcr, 0x03);
    uart_.Out(kFifo, 0xC7);
    uart_.Out(kMcr, 0x0B);
  }

  FakeClock clock_;
  KorvelUnit unit_;
  SimUart16550 uart_;
};

TEST_F(SimUartTest, TheDivisorLatchTakesOffsetsZeroAndOneWhileOpen) {
  uart_.Out(kLcr, 0x83);
  uart_.Out(kData, 0x0C);
  uart_.Out(kIer, 0x01);
  EXPECT_EQ(uart_.In(kData), 0x0C);
  EXPECT_EQ(uart_.In(kIer), 0x01);
  EXPECT_EQ(uart_.Divisor(), 0x010C);
  uart_.Out(kLcr, 0x03);
  uart_.Out(kIer, 0xFF);
  EXPECT_EQ(uart_.In(kIer), 0x0F);  // interrupt enable has four bits
  EXPECT_EQ(uart_.Divisor(), 0x010C);
  EXPECT_THAT(unit_.Received(), IsEmpty());  // no divisor byte went on the line
}

TEST_F(SimUartTest, AnIdleUartHasAnEmptyTransmitterAndNoData) {
  SetUp9600();
  EXPECT_EQ(uart_.In(kLsr), 0x60);
}

TEST_F(SimUartTest, AByteGoesToTheUnitAndItsAnswerBecomesReadable) {
  SetUp9600();
  uart_.Out(kData, 'K');
  EXPECT_THAT(unit_.Received(), ElementsAre('K'));
  EXPECT_EQ(uart_.In(kLsr), 0x61);
  EXPECT_EQ(uart_.In(kData), 0x06);
  EXPECT_EQ(uart_.In(kLsr), 0x60);
  // Reading an empty receiver gives the last byte again.
  EXPECT_EQ(uart_.In(kData), 0x06);
}

TEST_F(SimUartTest, TheReceiveFifoHoldsSixteenBytesAndReportsOverrunOnce) {
  SetUp9600();
  std::vector<std::uint8_t> bytes;
  for (std::uint8_t b = 1; b <= 18; ++b) bytes.push_back(b);
  uart_.Inject(bytes);
  EXPECT_EQ(uart_.ReceiverCount(), 16u);
  EXPECT_EQ(uart_.In(kLsr), 0x63);
  EXPECT_EQ(uart_.In(kLsr), 0x61);  // reading the status clears overrun
  EXPECT_EQ(uart_.In(kData), 1);    // the oldest bytes were kept
}

TEST_F(SimUartTest, WithoutFifosTheNewestByteOverwritesTheOld) {
  uart_.Out(kMcr, 0x0B);
  uart_.Inject({0x31, 0x32});
  EXPECT_EQ(uart_.ReceiverCount(), 1u);
  EXPECT_EQ(uart_.In(kLsr) & 0x03, 0x03);
  EXPECT_EQ(uart_.In(kData), 0x32);
}

TEST_F(SimUartTest, FifoControlClearsAndSwitchesTheFifos) {
  SetUp9600();
  EXPECT_EQ(uart_.In(kFifo), 0xC1);
  EXPECT_EQ(uart_.ReceiveTriggerLevel(), 14);
  uart_.Inject({1, 2, 3});
  uart_.Out(kFifo, 0x41);  // FIFOs stay on, nothing cleared, trigger at 4
  EXPECT_EQ(uart_.ReceiverCount(), 3u);
  EXPECT_EQ(uart_.ReceiveTriggerLevel(), 4);
  uart_.Out(kFifo, 0x03);  // clear the receiver
  EXPECT_EQ(uart_.ReceiverCount(), 0u);
  uart_.Inject({4, 5});
  uart_.Out(kFifo, 0x00);  // FIFOs off: emptied as they go
  EXPECT_FALSE(uart_.FifoEnabled());
  EXPECT_EQ(uart_.ReceiverCount(), 0u);
  EXPECT_EQ(uart_.In(kFifo), 0x01);
}

TEST_F(SimUartTest, ClearToSendNeedsTheUnitAndTheHostsRts) {
  EXPECT_EQ(uart_.In(kMsr) & 0x10, 0);
  uart_.Out(kMcr, 0x01);  // DTR alone
  EXPECT_EQ(uart_.In(kMsr) & 0x10, 0);
  uart_.Out(kMcr, 0x03);
  EXPECT_EQ(uart_.In(kMsr), 0x11);  // CTS, and the change bit once
  EXPECT_EQ(uart_.In(kMsr), 0x10);
  uart_.Out(kMcr, 0x01);
  EXPECT_EQ(uart_.In(kMsr), 0x01);  // dropped: change bit without CTS
}

class BusyUnitUartTest : public SimUartTest {
 protected:
  BusyUnitUartTest() : SimUartTest(Busy()) {}
  static UnitBehaviour Busy() {
    UnitBehaviour behaviour;
    behaviour.raises_cts = false;
    return behaviour;
  }
};

TEST_F(BusyUnitUartTest, AUnitThatNeverRaisesCtsIsNeverClear) {
  SetUp9600();
  EXPECT_EQ(uart_.In(kMsr) & 0x10, 0);
  EXPECT_FALSE(uart_.ClearToSend());
}

TEST_F(SimUartTest, LoopbackReturnsBytesToTheReceiverAndMirrorsTheModemLines) {
  SetUp9600();
  uart_.Out(kMcr, 0x1F);
  uart_.Out(kData, 0x5A);
  EXPECT_THAT(unit_.Received(), IsEmpty());
  EXPECT_EQ(uart_.In(kData), 0x5A);
  EXPECT_EQ(uart_.In(kMsr) & 0xF0, 0xF0);
  uart_.Out(kMcr, 0x10);
  EXPECT_EQ(uart_.In(kMsr) & 0xF0, 0x00);
}

TEST_F(SimUartTest, AHeldTransmitterKeepsBytesUntilReleased) {
  SetUp9600();
  uart_.HoldTransmitter(true);
  uart_.Out(kData, 'a');
  EXPECT_EQ(uart_.In(kLsr), 0x20);  // shifting: holding register free, not empty
  uart_.Out(kData, 'b');
  EXPECT_EQ(uart_.In(kLsr), 0x00);
  EXPECT_THAT(unit_.Received(), IsEmpty());
  uart_.HoldTransmitter(false);
  EXPECT_THAT(unit_.Received(), ElementsAre('a', 'b'));
  EXPECT_EQ(uart_.In(kLsr), 0x61);
}

TEST_F(SimUartTest, EveryAccessIsLoggedWithItsValue) {
  uart_.Out(kMcr, 0x0B);
  uart_.In(kLsr);
  ASSERT_EQ(uart_.Log().size(), 2u);
  EXPECT_EQ(uart_.Log()[0], (RegisterAccess{true, kMcr, 0x0B}));
  EXPECT_EQ(uart_.Log()[1], (RegisterAccess{false, kLsr, 0x60}));
  uart_.ClearLog();
  EXPECT_THAT(uart_.Log(), IsEmpty());
}

TEST_F(SimUartTest, AVeryLongLogStopsGrowingAndCountsTheRest) {
  for (std::size_t i = 0; i < AccessLog::kLimit + 5; ++i) uart_.In(kLsr);
  EXPECT_EQ(uart_.Log().size(), AccessLog::kLimit);
  EXPECT_EQ(uart_.DroppedLogEntries(), 5u);
}

TEST(SimUartBaseTest, TheRegisterIsChosenByTheLowThreeAddressBits) {
  KorvelUnit unit;
  SimUart16550 uart(unit);
  uart.Out(0x2FC, 0x0B);
  uart.Out(0x2F8, 'z');
  EXPECT_THAT(unit.Received(), ElementsAre('z'));
  EXPECT_EQ(uart.In(0x2FD) & 0x01, 0x01);
  EXPECT_EQ(uart.In(0x2FE) & 0x10, 0x10);
}

class LateUnitUartTest : public SimUartTest {
 protected:
  LateUnitUartTest() : SimUartTest(Late()) {}
  static UnitBehaviour Late() {
    UnitBehaviour behaviour;
    behaviour.answer_delay_ms = 50;
    return behaviour;
  }
};

TEST_F(LateUnitUartTest, TheAnswerIsReadableOnlyOnceItsDelayHasPassed) {
  SetUp9600();
  clock_.Advance(1000);
  uart_.Out(kData, 'L');
  EXPECT_EQ(uart_.AnswersInFlight(), 1u);
  clock_.Advance(49);
  EXPECT_EQ(uart_.In(kLsr) & 0x01, 0);
  clock_.Advance(1);
  EXPECT_EQ(uart_.In(kLsr) & 0x01, 0x01);
  EXPECT_EQ(uart_.AnswersInFlight(), 0u);
}

TEST_F(LateUnitUartTest, ClearingTheFifoDoesNotLoseAnAnswerStillOnTheLine) {
  SetUp9600();
  uart_.Out(kData, 'L');
  uart_.Out(kFifo, 0xC7);
  clock_.Advance(50);
  EXPECT_EQ(uart_.In(kData), 0x06);
}

TEST(LateUnitNoClockTest, WithoutAClockAnswersComeAtOnce) {
  UnitBehaviour late;
  late.answer_delay_ms = 500;
  KorvelUnit unit(late);
  SimUart16550 uart(unit);
  uart.Out(kData, 'L');
  EXPECT_EQ(uart.In(kLsr) & 0x01, 0x01);
}

TEST(FakeClockTest, StepsOnEveryReadingAndOnAdvance) {
  FakeClock clock(2, 100);
  EXPECT_EQ(clock.NowMs(), 100);
  EXPECT_EQ(clock.NowMs(), 102);
  clock.Advance(10);
  EXPECT_EQ(clock.Peek(), 114);
  EXPECT_EQ(clock.Peek(), 114);
  EXPECT_EQ(clock.reads(), 2);
}

}  // namespace
