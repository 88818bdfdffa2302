#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

// A unit on COM1 of a simulated bus, the port set up, the log empty. The
// clock moves 1 ms per reading, so waiting out a time limit costs nothing.
struct SimLine {
  SimLine() {
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
    SimBus bus;  // nothing attached: the writes are only logged
    FakeClock clock;
    UartDriver(bus, clock).InitPort(number);
    EXPECT_EQ(Trace(bus.Log()), trace) << "port " << number;
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

// Where in the register traffic the work was done: the number of accesses
// before it, once for each time.
struct RecordedWork : AnswerWaitWork {
  explicit RecordedWork(const SimBus& bus) : bus(bus) {}
  void WhileAwaitingAnswer() override { done_after.push_back(bus.Log().size()); }
  const SimBus& bus;
  std::vector<std::size_t> done_after;
};

TEST(SendByteTest, DoesTheAnswerWaitWorkOnceAByteAfterItLeftAndBeforeTheAnswer) {
  SimLine line;
  RecordedWork work(line.bus);
  line.driver.SetAnswerWaitWork(&work);
  for (int byte : {0x41, 0x42}) {
    line.bus.ClearLog();
    work.done_after.clear();
    EXPECT_EQ(line.driver.SendByte(1, byte), SendStatus::kSent);
    ASSERT_THAT(work.done_after, ElementsAre(7u));
    const std::vector<std::string> trace = Trace(line.bus.Log());
    EXPECT_EQ(trace[4].substr(0, 8), "out 3F8 ");
    EXPECT_THAT(std::vector<std::string>(trace.begin() + 7, trace.end()),
                ElementsAre("in 3FD 61", "in 3F8 06"));
  }
}

TEST(SendByteTest, ReadsAwayEveryStaleByteBeforeWriting) {
  SimLine line;
  line.uart.Inject({0xAA, 0xBB, 0xCC});
  EXPECT_EQ(line.driver.SendByte(1, 0x42), SendStatus::kSent);
  std::vector<std::uint8_t> drained;
  for (const RegisterAccess& access : line.bus.Log()) {
    if (access.write) break;
    if (access.address == kCom1Base) drained.push_back(access.value);
  }
  // Three stale bytes, then the one read of an empty receiver.
  EXPECT_THAT(drained, ElementsAre(0xAA, 0xBB, 0xCC, 0x00));
  EXPECT_THAT(line.unit.Received(), ElementsAre(0x42));
}

TEST(SendByteTest, AMissingPortIsReportedWithoutTouchingAnything) {
  SimLine line;  // nothing at COM2
  EXPECT_EQ(line.driver.SendByte(2, 0x41), SendStatus::kPortMissing);
  EXPECT_TRUE(line.bus.Log().empty());
  EXPECT_EQ(line.clock.reads(), 0);
}

// Reads as a healthy COM1 until written to, then as no port at all: all ones,
// which look like an empty transmitter, CTS and an answer.
class VanishingPort : public PortIo {
 public:
  std::uint8_t In(std::uint16_t address) override {
    if (written_) return kNothingThere;
    if (address == kCom1Base + kLineStatus) return kHoldingEmpty | kTransmitterEmpty;
    return address == kCom1Base + kModemStatus ? kClearToSend : 0;
  }
  void Out(std::uint16_t, std::uint8_t) override { written_ = true; }
  bool Present(std::uint16_t) override { return !written_; }

 private:
  bool written_ = false;
};

TEST(SendByteTest, APortThatGoesAwayMidByteIsNotReportedAsSent) {
  VanishingPort port;
  FakeClock clock(1);
  EXPECT_EQ(UartDriver(port, clock).SendByte(1, 0x55), SendStatus::kPortMissing);
}

// A COM1 that turns ready only when the clock says so: the condition of one
// wait comes true at a given time, every other condition holds at once. Until
// then it shows only the bits that look like it: holding register empty
// without the transmitter, a CTS change without CTS. The clock moves 1 ms per
// reading, so the run of a wait is counted in readings.
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
        if (late(writes ? kEmptyAfter : kEmptyBefore)) status = kHoldingEmpty;
        if (late(kDrain) || (writes && !late(kAnswer))) status |= kDataReady;
        return status;
      }
      case kModemStatus:
        return late(writes ? kCtsAfter : kCtsBefore) ? kDeltaClearToSend : kClearToSend;
      default:
        answers_read += writes > 0;
        return 0;
    }
  }
  void Out(std::uint16_t, std::uint8_t) override { ++writes; }

  int writes = 0, answers_read = 0;

 private:
  FakeClock& clock_;
  Wait wait_;
  std::int64_t ready_at_;
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
  // Counts the times the work was done.
  struct CountedWork : AnswerWaitWork {
    void WhileAwaitingAnswer() override { ++done; }
    int done = 0;
  };
  for (const auto& w : waits) {
    SCOPED_TRACE("wait " + std::to_string(w.wait));
    // The wait's first clock reading is 0: readiness on the reading that
    // shows the whole limit is still in time, one later is not.
    FakeClock in_time(1);
    LateReadiness just_in_time(in_time, w.wait, kLimit);
    EXPECT_EQ(UartDriver(just_in_time, in_time).SendByte(1, 0x33), SendStatus::kSent);
    EXPECT_EQ(just_in_time.writes, 1);
    EXPECT_EQ(just_in_time.answers_read, 1);

    FakeClock too_late(1);
    LateReadiness just_too_late(too_late, w.wait, kLimit + 1);
    CountedWork work;
    UartDriver driver(just_too_late, too_late);
    driver.SetAnswerWaitWork(&work);
    EXPECT_EQ(driver.SendByte(1, 0x33), w.failure);
    // Done for a byte that left and was waited for, whether or not it was answered.
    EXPECT_EQ(work.done, w.wait == LateReadiness::kAnswer ? 1 : 0);
    EXPECT_EQ(too_late.Peek(), kLimit + 1) << "gave up on the reading that showed the limit";
    // A wait that runs out before the write sends nothing; none takes an answer.
    EXPECT_EQ(just_too_late.writes, w.wait >= LateReadiness::kEmptyAfter ? 1 : 0);
    EXPECT_EQ(just_too_late.answers_read, 0);
  }
}

TEST(SendByteTest, EachWaitIsWatchedAsWhatItWaitsForAndEndsAtOnceWhenGivenUp) {
  const struct {
    LateReadiness::Wait wait;
    UartWait kind;
  } waits[] = {
      {LateReadiness::kDrain, UartWait::kReceiverQuiet},
      {LateReadiness::kEmptyBefore, UartWait::kTransmitter},
      {LateReadiness::kCtsBefore, UartWait::kCts},
      {LateReadiness::kEmptyAfter, UartWait::kTransmitter},
      {LateReadiness::kCtsAfter, UartWait::kCts},
      {LateReadiness::kAnswer, UartWait::kAnswer},
  };
  // Gives a wait up once it has lasted give_up_at ms; notes what it was told.
  struct GivingUp : WaitWatch {
    bool GiveUp(UartWait wait, std::int64_t waited_ms) override {
      kinds.push_back(wait);
      longest = waited_ms;
      return waited_ms >= give_up_at;
    }
    std::int64_t give_up_at = 0;
    std::vector<UartWait> kinds;
    std::int64_t longest = -1;
  };
  constexpr std::int64_t kGiveUpAt = 100;
  for (const auto& w : waits) {
    SCOPED_TRACE("wait " + std::to_string(w.wait));
    FakeClock clock(1);
    LateReadiness late(clock, w.wait, kLimit + 1);
    UartDriver driver(late, clock);
    GivingUp watch;
    watch.give_up_at = kGiveUpAt;
    driver.SetWaitWatch(&watch);
    EXPECT_EQ(driver.SendByte(1, 0x33), SendStatus::kGivenUp);
    EXPECT_EQ(watch.longest, kGiveUpAt);
    EXPECT_LT(clock.Peek(), kGiveUpAt + 5) << "the wait went on after it was given up";
    // Told on every poll of the one wait that lasted, and of no other.
    EXPECT_GE(watch.kinds.size(), static_cast<std::size_t>(kGiveUpAt / 2));
    EXPECT_EQ(std::count(watch.kinds.begin(), watch.kinds.end(), w.kind),
              static_cast<std::ptrdiff_t>(watch.kinds.size()));
    // Given up before the write, the byte never goes out.
    EXPECT_EQ(late.writes, w.wait >= LateReadiness::kEmptyAfter ? 1 : 0);
    EXPECT_EQ(driver.ByteWentOut(), late.writes == 1);
    EXPECT_EQ(late.answers_read, 0);

    // A watch that never gives up leaves the time limit as it is.
    FakeClock patient_clock(1);
    LateReadiness patient_line(patient_clock, w.wait, kLimit + 1);
    UartDriver patient(patient_line, patient_clock);
    GivingUp never;
    never.give_up_at = kLimit * 2;
    patient.SetWaitWatch(&never);
    EXPECT_NE(patient.SendByte(1, 0x33), SendStatus::kGivenUp);
    EXPECT_EQ(patient_clock.Peek(), kLimit + 1);
  }
}

}  // namespace
