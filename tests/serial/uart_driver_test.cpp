#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "serial/uart_driver.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

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

// Reads of an address hand out its scripted values in turn, then `then` for
// ever, unless `reader` decides them; every access is logged.
class ScriptedPort : public PortIo {
 public:
  void Script(std::uint16_t address, std::vector<std::uint8_t> values, std::uint8_t then) {
    queues_[address].assign(values.begin(), values.end());
    then_[address] = then;
  }
  std::uint8_t In(std::uint16_t address) override {
    std::uint8_t value = then_[address];
    if (reader) {
      value = reader(address);
    } else if (!queues_[address].empty()) {
      value = queues_[address].front();
      queues_[address].pop_front();
    }
    log.push_back({false, address, value});
    return value;
  }
  void Out(std::uint16_t address, std::uint8_t value) override {
    log.push_back({true, address, value});
  }
  bool Present(std::uint16_t) override { return present; }

  std::function<std::uint8_t(std::uint16_t)> reader;
  bool present = true;
  std::vector<RegisterAccess> log;

 private:
  std::map<std::uint16_t, std::deque<std::uint8_t>> queues_;
  std::map<std::uint16_t, std::uint8_t> then_;
};

// A unit on COM1 of a simulated bus, the port set up, the log empty. The
// clock moves 1 ms per reading, so waiting out a time limit costs nothing.
struct SimLine {
  explicit SimLine(UnitBehaviour behaviour = {}) : unit(behaviour), uart(unit, &clock) {
    bus.Attach(0x3F8, uart);
    driver.InitPort(1);
    bus.ClearLog();
  }
  FakeClock clock{1};
  KorvelUnit unit;
  SimUart16550 uart;
  SimBus bus;
  UartDriver driver{bus, clock};
};

struct InitCase {
  int port;
  std::vector<std::string> trace;
};

class InitPortTest : public ::testing::TestWithParam<InitCase> {};

TEST_P(InitPortTest, WritesTheSevenRegistersOfItsPortInOrder) {
  ScriptedPort port;
  FakeClock clock;
  UartDriver(port, clock).InitPort(GetParam().port);
  EXPECT_THAT(Trace(port.log), ElementsAreArray(GetParam().trace));
}

const std::vector<std::string> kCom1Init = {"out 3F9 00", "out 3FB 80", "out 3F8 0C", "out 3F9 00",
                                            "out 3FB 03", "out 3FA C7", "out 3FC 0B"};
INSTANTIATE_TEST_SUITE_P(
    Ports, InitPortTest,
    ::testing::Values(InitCase{1, kCom1Init}, InitCase{0, kCom1Init}, InitCase{3, kCom1Init},
                      InitCase{2, {"out 2F9 00", "out 2FB 80", "out 2F8 0C", "out 2F9 00",
                                   "out 2FB 03", "out 2FA C7", "out 2FC 0B"}}));

TEST(SendByteTest, WithNothingWaitingTheReceiverIsStillReadOnce) {
  SimLine line;
  EXPECT_EQ(line.driver.SendByte(1, 0x41), SendStatus::kSent);
  EXPECT_THAT(Trace(line.bus.Log()),
              ElementsAre("in 3FD 60", "in 3F8 00",             // drain: nothing waiting
                          "in 3FD 60", "in 3FE 11",             // transmitter empty, CTS
                          "out 3F8 41",                         //
                          "in 3FD 61", "in 3FE 10",             // transmitter empty, CTS
                          "in 3FD 61", "in 3F8 06"));           // the answer
  EXPECT_THAT(line.unit.Received(), ElementsAre(0x41));
}

TEST(SendByteTest, ReadsAwayEveryStaleByteBeforeWriting) {
  SimLine line;
  line.uart.Inject({0xAA, 0xBB, 0xCC});
  EXPECT_EQ(line.driver.SendByte(1, 0x42), SendStatus::kSent);
  EXPECT_THAT(Trace(line.bus.Log()),
              ElementsAre("in 3FD 61", "in 3F8 AA", "in 3FD 61", "in 3F8 BB", "in 3FD 61",
                          "in 3F8 CC", "in 3FD 60", "in 3F8 CC",  // drained
                          "in 3FD 60", "in 3FE 11", "out 3F8 42", "in 3FD 61", "in 3FE 10",
                          "in 3FD 61", "in 3F8 06"));
}

TEST(SendByteTest, SendsOnlyTheLowEightBits) {
  SimLine line;
  EXPECT_EQ(line.driver.SendByte(1, 0x141), SendStatus::kSent);
  EXPECT_EQ(line.driver.SendByte(1, -1), SendStatus::kSent);
  EXPECT_THAT(line.unit.Received(), ElementsAre(0x41, 0xFF));
}

TEST(SendByteTest, LeftoversOfOneAnswerNeverPassForTheNextOne) {
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

TEST(SendByteTest, ALateAnswerIsTakenWithinTheTimeLimitOnly) {
  for (const auto& [delay_ms, status] : {std::pair{2900, SendStatus::kSent},
                                         std::pair{3100, SendStatus::kNoAnswer}}) {
    UnitBehaviour late;
    late.answer_delay_ms = delay_ms;
    SimLine line(late);
    EXPECT_EQ(line.driver.SendByte(1, 0x20), status) << delay_ms << " ms";
  }
}

TEST(SendByteTest, AMissingPortIsReportedWithoutTouchingAnything) {
  SimLine line;  // nothing at COM2
  EXPECT_EQ(line.driver.SendByte(2, 0x41), SendStatus::kPortMissing);
  EXPECT_TRUE(line.bus.Log().empty());
  EXPECT_EQ(line.clock.reads(), 0);
}

TEST(SendByteTest, APortThatGoesAwayMidByteIsNotReportedAsSent) {
  // Pulled out right after the write: from then on every register reads all
  // ones, which looks like an empty transmitter, CTS and an answer.
  ScriptedPort port;
  port.reader = [&](std::uint16_t address) -> std::uint8_t {
    if (!port.log.empty() && port.log.back().write) port.present = false;
    if (!port.present) return 0xFF;
    return address == 0x3FD ? 0x40 : address == 0x3FE ? 0x10 : 0x00;
  };
  FakeClock clock(1);
  EXPECT_EQ(UartDriver(port, clock).SendByte(1, 0x55), SendStatus::kPortMissing);
}

TEST(SendByteTest, WritesOnlyAfterTransmitterEmptyAndCtsAndReturnsOnlyAfterTheAnswer) {
  ScriptedPort port;
  // Holding-register-empty (0x20) and a CTS change bit without CTS (0x01)
  // look like readiness but are not.
  port.Script(0x3FD, {0x00, 0x00, 0x20, 0x40, 0x20, 0x40, 0x40, 0x40}, 0x41);
  port.Script(0x3FE, {0x00, 0x01, 0x10, 0x00}, 0x10);
  FakeClock clock(1);
  EXPECT_EQ(UartDriver(port, clock).SendByte(1, 0x55), SendStatus::kSent);
  EXPECT_THAT(Trace(port.log),
              ElementsAre("in 3FD 00", "in 3F8 00",                  // drain
                          "in 3FD 00", "in 3FD 20", "in 3FD 40",     // transmitter empty
                          "in 3FE 00", "in 3FE 01", "in 3FE 10",     // CTS
                          "out 3F8 55",                              //
                          "in 3FD 20", "in 3FD 40",                  // transmitter empty
                          "in 3FE 00", "in 3FE 10",                  // CTS
                          "in 3FD 40", "in 3FD 40", "in 3FD 41",     // answer ready
                          "in 3F8 00"));                             // answer taken
}

TEST(SendByteTest, EachWaitHasItsOwnTimeLimit) {
  // Each condition comes true 2.5 s after the one before: far longer than one
  // time limit in all, yet no single wait is late.
  FakeClock clock(1);
  ScriptedPort port;
  std::int64_t written_at = -1;
  port.reader = [&](std::uint16_t address) -> std::uint8_t {
    const std::int64_t now = clock.Peek();
    if (written_at < 0 && !port.log.empty() && port.log.back().write) written_at = now;
    if (address == 0x3FE) return now >= 5000 ? 0x10 : 0x00;
    if (address != 0x3FD) return 0x00;
    if (written_at < 0) return now >= 2500 ? 0x40 : 0x00;
    return now >= written_at + 2500 ? 0x41 : 0x40;
  };
  EXPECT_EQ(UartDriver(port, clock).SendByte(1, 0x07), SendStatus::kSent);
  EXPECT_GE(clock.Peek(), 7500);
  EXPECT_THAT(Trace({port.log.back()}), ElementsAre("in 3F8 00"));
}

struct TimeoutCase {
  const char* name;
  std::vector<std::uint8_t> line_status;  // then line_status_then for ever
  std::uint8_t line_status_then;
  std::vector<std::uint8_t> modem_status;
  std::uint8_t modem_status_then;
  SendStatus status;
  std::size_t writes;
};

class SendByteTimeoutTest : public ::testing::TestWithParam<TimeoutCase> {};

TEST_P(SendByteTimeoutTest, GivesUpAfterTheTimeLimitWithoutReadingAnAnswer) {
  const TimeoutCase& c = GetParam();
  ScriptedPort port;
  port.Script(0x3FD, c.line_status, c.line_status_then);
  port.Script(0x3FE, c.modem_status, c.modem_status_then);
  FakeClock clock(1);
  EXPECT_EQ(UartDriver(port, clock).SendByte(1, 0x33), c.status);
  EXPECT_GE(clock.Peek(), UartDriver::kTimeLimitMs);

  std::size_t writes = 0;
  std::size_t answers_read = 0;
  for (const RegisterAccess& access : port.log) {
    if (access.write) ++writes;
    if (!access.write && access.address == 0x3F8 && writes > 0) ++answers_read;
  }
  EXPECT_EQ(writes, c.writes);
  EXPECT_EQ(answers_read, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryWait, SendByteTimeoutTest,
    ::testing::Values(
        TimeoutCase{"ReceiverNeverQuiet", {}, 0x61, {}, 0x10, SendStatus::kReceiverFlooded, 0},
        TimeoutCase{"TransmitterNeverEmpty", {}, 0x20, {}, 0x10, SendStatus::kTransmitterStuck, 0},
        TimeoutCase{"TransmitterStuckWithTheByte", {0x00, 0x40}, 0x00, {}, 0x10,
                    SendStatus::kTransmitterStuck, 1},
        TimeoutCase{"CtsNeverRises", {}, 0x60, {}, 0x01, SendStatus::kNoCts, 0},
        TimeoutCase{"CtsDropsAfterTheByte", {}, 0x60, {0x10}, 0x00, SendStatus::kNoCts, 1},
        TimeoutCase{"NoAnswer", {}, 0x60, {}, 0x10, SendStatus::kNoAnswer, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
