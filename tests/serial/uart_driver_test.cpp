#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "serial/uart_driver.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"

using ::testing::ElementsAre;

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
    bus.Attach(0x3F8, uart);
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

TEST(SendByteTest, ReadsTheReceiverOnceWhenNothingWaitsAndEveryStaleByteOtherwise) {
  SimLine line;
  EXPECT_EQ(line.driver.SendByte(1, 0x41), SendStatus::kSent);
  EXPECT_THAT(Trace(line.bus.Log()),
              ElementsAre("in 3FD 60", "in 3F8 00",             // drain: nothing waiting
                          "in 3FD 60", "in 3FE 11",             // transmitter empty, CTS
                          "out 3F8 41",                         //
                          "in 3FD 61", "in 3FE 10",             // transmitter empty, CTS
                          "in 3FD 61", "in 3F8 06"));           // the answer
  line.bus.ClearLog();
  line.uart.Inject({0xAA, 0xBB, 0xCC});
  EXPECT_EQ(line.driver.SendByte(1, 0x42), SendStatus::kSent);
  EXPECT_THAT(Trace(line.bus.Log()),
              ElementsAre("in 3FD 61", "in 3F8 AA", "in 3FD 61", "in 3F8 BB", "in 3FD 61",
                          "in 3F8 CC", "in 3FD 60", "in 3F8 00",  // drained
                          "in 3FD 60", "in 3FE 10", "out 3F8 42", "in 3FD 61", "in 3FE 10",
                          "in 3FD 61", "in 3F8 06"));
  EXPECT_THAT(line.unit.Received(), ElementsAre(0x41, 0x42));
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

TEST(SendByteTest, EachWaitGivesUpAfterTheTimeLimitWithoutReadingAnAnswer) {
  const struct {
    std::deque<std::uint8_t> line_status, modem_status;  // the last value repeats
    SendStatus status;
    std::size_t writes;
  } cases[] = {
      {{0x61}, {0x10}, SendStatus::kReceiverFlooded, 0},
      {{0x20}, {0x10}, SendStatus::kTransmitterStuck, 0},
      {{0x00, 0x40, 0x00}, {0x10}, SendStatus::kTransmitterStuck, 1},
      {{0x60}, {0x01}, SendStatus::kNoCts, 0},
      {{0x60}, {0x10, 0x00}, SendStatus::kNoCts, 1},
      {{0x60}, {0x10}, SendStatus::kNoAnswer, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    ScriptedPort port;
    port.reads = {{0x3FD, c.line_status}, {0x3FE, c.modem_status}};
    FakeClock clock(1);
    EXPECT_EQ(UartDriver(port, clock).SendByte(1, 0x33), c.status);
    EXPECT_GE(clock.Peek(), UartDriver::kTimeLimitMs);
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
