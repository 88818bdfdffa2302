#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/uart_driver.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"
#include "tests/serial/scripted_port.h"
#include "tests/serial/trace.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// A driver on COM1 of a bus with a unit on COM1 only, port already set up.
class SendByteTest : public ::testing::Test {
 protected:
  explicit SendByteTest(UnitBehaviour behaviour = {})
      : unit_(std::move(behaviour)), uart_(unit_, &clock_), driver_(bus_, clock_) {
    bus_.Attach(0x3F8, uart_);
    driver_.InitPort(1);
    bus_.ClearLog();
  }

  std::vector<std::uint8_t> ReadsOf(std::uint16_t address) const {
    std::vector<std::uint8_t> values;
    for (const auto& access : bus_.Log()) {
      if (!access.write && access.address == address) values.push_back(access.value);
    }
    return values;
  }

  FakeClock clock_{1};
  KorvelUnit unit_;
  SimUart16550 uart_;
  SimBus bus_;
  UartDriver driver_;
};

TEST_F(SendByteTest, WithNothingWaitingReadsTheReceiverOnceThenSendsAndTakesTheAnswer) {
  EXPECT_EQ(driver_.SendByte(1, 0x41), SendStatus::kSent);
  EXPECT_THAT(Trace(bus_.Log()),
              ElementsAre("in 3FD", "in 3F8",            // drain: nothing was waiting
                          "in 3FD", "in 3FE",            // transmitter empty, CTS up
                          "out 3F8 41",                  // the byte
                          "in 3FD", "in 3FE",            // transmitter empty, CTS up again
                          "in 3FD", "in 3F8"));          // answer ready, answer read
  EXPECT_THAT(unit_.Received(), ElementsAre(0x41));
  EXPECT_EQ(bus_.Log().back().value, 0x06);
  EXPECT_EQ(uart_.ReceiverCount(), 0u);
}

TEST_F(SendByteTest, ReadsAwayEveryStaleByteBeforeWriting) {
  uart_.Inject({0xAA, 0xBB, 0xCC});
  EXPECT_EQ(driver_.SendByte(1, 0x42), SendStatus::kSent);
  const auto trace = Trace(bus_.Log());
  ASSERT_GE(trace.size(), 9u);
  EXPECT_THAT(std::vector<std::string>(trace.begin(), trace.begin() + 9),
              ElementsAre("in 3FD", "in 3F8", "in 3FD", "in 3F8", "in 3FD", "in 3F8", "in 3FD",
                          "in 3F8", "in 3FD"));
  // The three stale bytes came out of the receiver before the byte went out,
  // and the answer read at the end is the unit's, not a leftover.
  const auto data_reads = ReadsOf(0x3F8);
  ASSERT_EQ(data_reads.size(), 5u);
  EXPECT_THAT(std::vector<std::uint8_t>(data_reads.begin(), data_reads.begin() + 3),
              ElementsAre(0xAA, 0xBB, 0xCC));
  EXPECT_EQ(data_reads.back(), 0x06);
  EXPECT_EQ(trace[10], "out 3F8 42");
  EXPECT_EQ(CountWrites(bus_.Log()), 1u);
  EXPECT_EQ(uart_.ReceiverCount(), 0u);
}

TEST_F(SendByteTest, SendsOnlyTheLowEightBits) {
  EXPECT_EQ(driver_.SendByte(1, 0x141), SendStatus::kSent);
  EXPECT_EQ(driver_.SendByte(1, -1), SendStatus::kSent);
  EXPECT_THAT(unit_.Received(), ElementsAre(0x41, 0xFF));
}

TEST_F(SendByteTest, AnsweredBytesNeedNoClock) {
  for (int byte = 0; byte < 10; ++byte) ASSERT_EQ(driver_.SendByte(1, byte), SendStatus::kSent);
  EXPECT_EQ(clock_.reads(), 0);
}

class ChattyUnitTest : public SendByteTest {
 protected:
  ChattyUnitTest() : SendByteTest(Chatty()) {}
  static UnitBehaviour Chatty() {
    UnitBehaviour behaviour;
    behaviour.extra_answer_bytes = 2;
    behaviour.answer_delay_ms = 20;
    behaviour.stale_bytes = {0x55, 0x66};
    return behaviour;
  }
};

TEST_F(ChattyUnitTest, LeftoversNeverPassForTheNextAnswer) {
  // Each byte must wait for its own answer: were the leftovers of the last
  // answer taken for it, the real one would still be on its way on return.
  for (std::uint8_t byte : {0x31, 0x32, 0x1A, 0x33}) {
    ASSERT_EQ(driver_.SendByte(1, byte), SendStatus::kSent);
    EXPECT_EQ(uart_.AnswersInFlight(), 0u) << "byte " << int(byte);
  }
  EXPECT_THAT(unit_.Received(), ElementsAre(0x31, 0x32, 0x1A, 0x33));
}

class LateUnitTest : public ::testing::Test {
 protected:
  SendStatus SendWithAnswerDelay(int delay_ms) {
    UnitBehaviour behaviour;
    behaviour.answer_delay_ms = delay_ms;
    KorvelUnit unit(behaviour);
    FakeClock clock(1);
    SimUart16550 uart(unit, &clock);
    SimBus bus;
    bus.Attach(0x2F8, uart);
    UartDriver driver(bus, clock);
    driver.InitPort(2);
    return driver.SendByte(2, 0x20);
  }
};

TEST_F(LateUnitTest, AnAnswerWithinTheTimeLimitIsTaken) {
  EXPECT_EQ(SendWithAnswerDelay(2900), SendStatus::kSent);
}

TEST_F(LateUnitTest, AnAnswerPastTheTimeLimitIsNoAnswer) {
  EXPECT_EQ(SendWithAnswerDelay(3100), SendStatus::kNoAnswer);
}

// Exact order against a port whose status bits come true only after a few
// polls, and with look-alike bits set on the way.
TEST(SendByteOrderTest, WritesOnlyAfterTransmitterEmptyAndCtsAndReturnsOnlyAfterTheAnswer) {
  ScriptedPort port;
  // Line status: drain; step 2 sees holding-empty only (0x20), which is not
  // enough, then transmitter empty; step 5 likewise; step 7 sees data ready.
  port.Script(0x3FD, {0x00, 0x00, 0x20, 0x40, 0x20, 0x40, 0x40, 0x40, 0x41}, 0x41);
  // Modem status: a CTS change bit without CTS is not CTS.
  port.Script(0x3FE, {0x00, 0x01, 0x10, 0x00, 0x10}, 0x10);
  FakeClock clock(1);
  UartDriver driver(port, clock);
  EXPECT_EQ(driver.SendByte(1, 0x55), SendStatus::kSent);
  EXPECT_THAT(Trace(port.log),
              ElementsAreArray({"in 3FD", "in 3F8",                    // drain
                                "in 3FD", "in 3FD", "in 3FD",          // transmitter empty
                                "in 3FE", "in 3FE", "in 3FE",          // CTS
                                "out 3F8 55",                          //
                                "in 3FD", "in 3FD",                    // transmitter empty
                                "in 3FE", "in 3FE",                    // CTS
                                "in 3FD", "in 3FD", "in 3FD",          // answer ready
                                "in 3F8"}));                           // answer taken
}

TEST(SendByteOrderTest, EachWaitHasItsOwnTimeLimit) {
  // Every condition comes true 2.5 s after the step before it; together the
  // waits take far longer than one time limit, yet none of them is late.
  FakeClock clock(1);
  ScriptedPort port;
  std::int64_t written_at = -1;
  port.SetReader([&](std::uint16_t address) -> std::uint8_t {
    const std::int64_t now = clock.Peek();
    if (!port.log.empty() && port.log.back().write && written_at < 0) written_at = now;
    if (address == 0x3FD) {
      if (written_at >= 0) return now >= written_at + 2500 ? 0x41 : 0x40;
      return now >= 2500 ? 0x40 : 0x00;
    }
    if (address == 0x3FE) return now >= 5000 ? 0x10 : 0x00;
    return 0x00;
  });
  UartDriver driver(port, clock);
  EXPECT_EQ(driver.SendByte(1, 0x07), SendStatus::kSent);
  EXPECT_GE(clock.Peek(), 7500);
  EXPECT_FALSE(port.log.back().write);
  EXPECT_EQ(port.log.back().address, 0x3F8);
}

}  // namespace
