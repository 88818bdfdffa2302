#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "serial/uart_driver.h"
#include "serial/uart_registers.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"

using ::testing::ElementsAre;

namespace {

using namespace uart;

constexpr std::int64_t kLimit = UartDriver::kTimeLimitMs;

// "out 3F8 41" for a write, "in 3FD 60" for a read and the value it gave.
std::vector<std::string> Trace(const std::vector<RegisterAccess>& log) {
  std::vector<std::string> lines;
  for (const RegisterAccess& access : log) {
    char text[16];
    std::snprintf(text, sizeof text, "%s %03X %02X", access.write ? "out" : "in",
                  static_cast<unsigned>(access.address), static_cast<unsigned>(access.value));
    lines.push_back(text);
  }
  return lines;
}

// Reads of an address hand out its values in turn, the last one for ever;
// every access is logged. A port that vanishes reads all ones once written to.
class ScriptedPort : public PortIo {
 public:
  std::uint8_t In(std::uint16_t address) override {
    std::deque<std::uint8_t>& values = reads[address];
    const std::uint8_t value = !present ? 0xFF : values.empty() ? 0x00 : values.front();
    if (values.size() > 1) values.pop_front();
    log.push_back({false, address, value});
    return value;
  }
  void Out(std::uint16_t address, std::uint8_t value) override {
    log.push_back({true, address, value});
    present = present && !vanishes;
  }
  bool Present(std::uint16_t) override { return present; }

  std::map<std::uint16_t, std::deque<std::uint8_t>> reads;
  bool present = true, vanishes = false;
  std::vector<RegisterAccess> log;
};

// A unit on COM1 of a simulated bus, the port set up, the log empty. The
// clock moves 1 ms per reading, so waiting out a time limit costs nothing.
struct SimLine {
  explicit SimLine(UnitBehaviour behaviour = {}) : unit(behaviour) {
    bus.Attach(kCom1Base, uart);
    driver.InitPort(1);
    bus.ClearLog();
  }
  FakeClock clock{1};
  KorvelUnit unit;
  SimUart16550 uart{unit, &clock};
  SimBus bus;
  UartDriver driver{bus, clock};
};

TEST(InitPortTest, WritesTheSevenRegistersOfItsPortInOrder) {
  const std::vector<std::string> com1 = {"out 3F9 00", "out 3FB 80", "out 3F8 0C", "out 3F9 00",
                                         "out 3FB 03", "out 3FA C7", "out 3FC 0B"};
  const std::vector<std::string> com2 = {"out 2F9 00", "out 2FB 80", "out 2F8 0C", "out 2F9 00",
                                         "out 2FB 03", "out 2FA C7", "out 2FC 0B"};
  for (const auto& [number, trace] : {std::pair{1, com1}, std::pair{0, com1}, std::pair{2, com2}}) {
    ScriptedPort port;
    FakeClock clock;
    UartDriver(port, clock).InitPort(number);
    EXPECT_EQ(Trace(port.log), trace) << "port " << number;
  }
}

TEST(SendByteTest, TouchesTheRegistersInItsOrder) {
  SimLine line;
  EXPECT_EQ(line.driver.SendByte(1, 0x41), SendStatus::kSent);
  EXPECT_THAT(Trace(line.bus.Log()),
              ElementsAre("in 3FD 60", "in 3F8 00",             // drain: nothing waiting
                          "in 3FD 60", "in 3FE 11",             // transmitter empty, CTS
                          "out 3F8 41",                         //
                          "in 3FD 61", "in 3FE 10",             // transmitter empty, CTS
                          "in 3FD 61", "in 3F8 06"));           // the answer
}

TEST(SendByteTest, ReadsAwayEveryStaleByteBeforeWriting) {
  SimLine line;
  line.uart.Inject({0xAA, 0xBB, 0xCC});
  EXPECT_EQ(line.driver.SendByte(1, 0x42), SendStatus::kSent);
  const std::vector<RegisterAccess>& log = line.bus.Log();
  const auto write = std::find_if(log.begin(), log.end(), [](auto& a) { return a.write; });
  std::vector<std::uint8_t> drained;
  for (auto access = log.begin(); access != write; ++access) {
    if (access->address == kCom1Base) drained.push_back(access->value);
  }
  // Three stale bytes, then the one read of an empty receiver.
  EXPECT_THAT(drained, ElementsAre(0xAA, 0xBB, 0xCC, 0x00));
  EXPECT_THAT(line.unit.Received(), ElementsAre(0x42));
}

TEST(SendByteTest, WaitsForALateAnswerWithinTheLimitAndNeverTakesLeftoversForOne) {
  for (const auto& [delay_ms, status] : {std::pair{2900, SendStatus::kSent},
                                         std::pair{3100, SendStatus::kNoAnswer}}) {
    UnitBehaviour late;
    late.answer_delay_ms = delay_ms;
    EXPECT_EQ(SimLine(late).driver.SendByte(1, 0x20), status) << delay_ms << " ms";
  }
  // Were the extra bytes taken for the next answer, the real one would still
  // be on its way when SendByte returned.
  UnitBehaviour chatty;
  chatty.extra_answer_bytes = 2;
  chatty.answer_delay_ms = 20;
  chatty.stale_bytes = {0x55, 0x66};
  SimLine line(chatty);
  for (std::uint8_t byte : {0x31, 0x1A, 0x33}) {
    ASSERT_EQ(line.driver.SendByte(1, byte), SendStatus::kSent);
    EXPECT_EQ(line.uart.AnswersInFlight(), 0u) << "byte " << int(byte);
  }
}

TEST(SendByteTest, AMissingPortIsReportedWithoutTouchingAnything) {
  SimLine line;  // nothing at COM2
  EXPECT_EQ(line.driver.SendByte(2, 0x41), SendStatus::kPortMissing);
  EXPECT_TRUE(line.bus.Log().empty());
  EXPECT_EQ(line.clock.reads(), 0);
}

TEST(SendByteTest, APortThatGoesAwayMidByteIsNotReportedAsSent) {
  // All ones after the write look like an empty transmitter, CTS and an answer.
  ScriptedPort port;
  port.reads = {{0x3FD, {0x40}}, {0x3FE, {0x10}}};
  port.vanishes = true;
  FakeClock clock(1);
  EXPECT_EQ(UartDriver(port, clock).SendByte(1, 0x55), SendStatus::kPortMissing);
}

TEST(SendByteTest, WritesOnlyAfterTransmitterEmptyAndCtsAndReturnsOnlyAfterTheAnswer) {
  ScriptedPort port;
  // Holding-register-empty (0x20) and a CTS change bit without CTS (0x01)
  // look like readiness but are not.
  port.reads = {{0x3FD, {0x00, 0x00, 0x20, 0x40, 0x20, 0x40, 0x40, 0x40, 0x41}},
                {0x3FE, {0x00, 0x01, 0x10, 0x00, 0x10}}};
  FakeClock clock(1);
  EXPECT_EQ(UartDriver(port, clock).SendByte(1, 0x55), SendStatus::kSent);

  const auto& log = port.log;
  auto first = [&](std::uint16_t address, std::uint8_t bit, std::size_t from) {
    for (std::size_t i = from; i < log.size(); ++i) {
      if (!log[i].write && log[i].address == address && (log[i].value & bit)) return i;
    }
    return log.size();
  };
  const std::size_t write = static_cast<std::size_t>(
      std::find_if(log.begin(), log.end(), [](auto& a) { return a.write; }) - log.begin());
  ASSERT_LT(write, log.size());
  EXPECT_LT(first(0x3FD, kTransmitterEmpty, 0), write);
  EXPECT_LT(first(0x3FE, kClearToSend, 0), write);
  // After the write: empty again, CTS again, then the answer, then its read.
  const std::size_t empty = first(0x3FD, kTransmitterEmpty, write);
  const std::size_t cts = first(0x3FE, kClearToSend, write);
  const std::size_t answer = first(0x3FD, kDataReady, std::max(empty, cts));
  ASSERT_LT(answer, log.size());
  EXPECT_EQ(log.back().address, 0x3F8) << "the answer is read last";
  EXPECT_GT(log.size() - 1, answer);
}

// A port that turns ready only when the clock says so: the condition of one
// wait comes true at a given time, every other condition holds at once. The
// clock moves 1 ms per reading, so the run of a wait is counted in readings.
class LateReadiness : public PortIo {
 public:
  enum Wait { kDrain, kEmptyBefore, kCtsBefore, kEmptyAfter, kCtsAfter, kAnswer };

  LateReadiness(FakeClock& clock, Wait wait, std::int64_t ready_at)
      : clock_(clock), wait_(wait), ready_at_(ready_at) {}

  std::uint8_t In(std::uint16_t address) override {
    const bool ready = clock_.Peek() >= ready_at_;
    auto late = [&](Wait wait) { return wait_ == wait && !ready; };
    switch (address - kCom1Base) {
      case kLineStatus: {
        std::uint8_t status = kHoldingEmpty | kTransmitterEmpty;
        if (late(written_ ? kEmptyAfter : kEmptyBefore)) status = kHoldingEmpty;
        if (late(kDrain) || (written_ && !late(kAnswer))) status |= kDataReady;
        return status;
      }
      case kModemStatus:
        return late(written_ ? kCtsAfter : kCtsBefore) ? 0 : kClearToSend;
      default:
        return 0;
    }
  }
  void Out(std::uint16_t, std::uint8_t) override { written_ = true; }

 private:
  FakeClock& clock_;
  Wait wait_;
  std::int64_t ready_at_;
  bool written_ = false;
};

TEST(SendByteTest, EachWaitGivesUpAtTheTimeLimitNotBeforeAndNotAfter) {
  const struct {
    LateReadiness::Wait wait;
    SendStatus failure;
  } waits[] = {
      {LateReadiness::kDrain, SendStatus::kReceiverFlooded},
      {LateReadiness::kEmptyBefore, SendStatus::kTransmitterStuck},
      {LateReadiness::kCtsBefore, SendStatus::kNoCts},
      {LateReadiness::kEmptyAfter, SendStatus::kTransmitterStuck},
      {LateReadiness::kCtsAfter, SendStatus::kNoCts},
      {LateReadiness::kAnswer, SendStatus::kNoAnswer},
  };
  for (const auto& w : waits) {
    SCOPED_TRACE("wait " + std::to_string(w.wait));
    // The wait's first clock reading is 0: readiness on the reading that
    // shows the whole limit is still in time, one later is not.
    FakeClock in_time(1);
    LateReadiness just_in_time(in_time, w.wait, kLimit);
    EXPECT_EQ(UartDriver(just_in_time, in_time).SendByte(1, 0x33), SendStatus::kSent);

    FakeClock too_late(1);
    LateReadiness just_too_late(too_late, w.wait, kLimit + 1);
    EXPECT_EQ(UartDriver(just_too_late, too_late).SendByte(1, 0x33), w.failure);
    EXPECT_EQ(too_late.Peek(), kLimit + 1) << "gave up on the reading that showed the limit";
  }
}

TEST(SendByteTest, AWaitThatRunsOutReadsNoAnswer) {
  const struct {
    std::deque<std::uint8_t> line_status, modem_status;  // the last value repeats
    std::size_t writes;
  } cases[] = {
      {{0x20}, {0x10}, 0},
      {{0x00, 0x40, 0x00}, {0x10}, 1},
      {{0x60}, {0x10, 0x00}, 1},
      {{0x60}, {0x10}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    ScriptedPort port;
    port.reads = {{0x3FD, c.line_status}, {0x3FE, c.modem_status}};
    FakeClock clock(1);
    EXPECT_NE(UartDriver(port, clock).SendByte(1, 0x33), SendStatus::kSent);
    std::size_t writes = 0, answers_read = 0;
    for (const RegisterAccess& access : port.log) {
      writes += access.write;
      answers_read += !access.write && access.address == 0x3F8 && writes > 0;
    }
    EXPECT_EQ(writes, c.writes);
    EXPECT_EQ(answers_read, 0u);
  }
}

}  // namespace
