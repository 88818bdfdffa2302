#include "banner/programming_run.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "banner/pause.h"
#include "serial/uart_registers.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"

namespace {

using namespace uart;

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

const std::string kBlank = std::string(28, ' ') + "\r\n" + std::string(28, ' ') + "\r\n\x1A";

// How a line breaks down.
enum class Breakdown { kNone, kNoAnswer, kNoCts, kTransmitterStuck, kPortGone };

// A simulated unit on COM1 whose line breaks down once Break() is called: the
// register reads that would show the next byte through are changed.
class BreakingLine : public PortIo {
 public:
  BreakingLine(KorvelUnit& unit, Breakdown breakdown, PortError gone_error)
      : breakdown_(breakdown), gone_error_(gone_error), uart_(unit, &clock_) {
    bus_.Attach(kCom1Base, uart_);
  }

  void Break() { broken_ = breakdown_ != Breakdown::kNone; }

  std::uint8_t In(std::uint16_t address) override {
    std::uint8_t value = bus_.In(address);
    if (!broken_) return value;
    if (breakdown_ == Breakdown::kPortGone) return kNothingThere;
    if (address == kCom1Base + kLineStatus) {
      if (breakdown_ == Breakdown::kNoAnswer) value &= ~kDataReady;
      if (breakdown_ == Breakdown::kTransmitterStuck) value &= ~kTransmitterEmpty;
    }
    if (address == kCom1Base + kModemStatus && breakdown_ == Breakdown::kNoCts) {
      value &= ~kClearToSend;
    }
    return value;
  }
  void Out(std::uint16_t address, std::uint8_t value) override { bus_.Out(address, value); }
  bool Present(std::uint16_t base) override {
    return !(broken_ && breakdown_ == Breakdown::kPortGone) && bus_.Present(base);
  }
  PortError LastError(std::uint16_t base) const override {
    return broken_ && breakdown_ == Breakdown::kPortGone ? gone_error_ : bus_.LastError(base);
  }

  FakeClock& clock() { return clock_; }

 private:
  Breakdown breakdown_;
  PortError gone_error_;
  bool broken_ = false;
  FakeClock clock_{1};
  SimUart16550 uart_;
  SimBus bus_;
};

// Each reading of the pause's clock, and how many bytes the unit had by the
// first of them.
struct CountingTimeOfDay : TimeOfDaySource {
  explicit CountingTimeOfDay(const KorvelUnit& unit) : unit(unit) {}
  TimeOfDay Now() override {
    if (readings++ == 0) received_at_pause = unit.Received().size();
    return TimeOfDay{readings, 0};
  }
  const KorvelUnit& unit;
  std::int64_t readings = 0;
  std::size_t received_at_pause = 0;
};

// Every call, in order. Asks to stop once stop_after bytes have been
// answered, and breaks the line once break_after have: the next byte meets
// the breakdown from its first register access.
struct RecordingObserver : RunObserver {
  void BarAt(int position) override { calls.push_back("bar " + std::to_string(position)); }
  void Answered(RunPhase phase, int sent) override {
    calls.push_back(std::string(phase == RunPhase::kBlank ? "blank " : "message ") +
                    std::to_string(sent));
    if (++answered == break_after) line->Break();
  }
  bool StopNow() override { return stop_after >= 0 && answered >= stop_after; }

  std::vector<std::string> calls;
  int answered = 0;
  int stop_after = -1;
  int break_after = -1;
  BreakingLine* line = nullptr;
};

struct RunOnLine {
  explicit RunOnLine(UnitBehaviour behaviour = {}) : unit(behaviour) {}
  RunResult Go(const std::string& text, Breakdown breakdown = Breakdown::kNone, int after = 0,
               PortError gone = {}) {
    line = std::make_unique<BreakingLine>(unit, breakdown, gone);
    observer.line = line.get();
    observer.break_after = after;
    if (after == 0) line->Break();
    UartDriver driver(*line, line->clock());
    return RunProgramming(driver, 1, text, pause, observer);
  }
  KorvelUnit unit;
  std::unique_ptr<BreakingLine> line;
  CountingTimeOfDay pause{unit};
  RecordingObserver observer;
};

TEST(ProgrammingRunTest, BlankFramePauseThenMessageFrameWithTheBarAfterEachByte) {
  // A SUB at 10 ends the message phase after 11 bytes, the bar at 35.
  const std::string message = "\xC4" "123456789\x1A";
  RunOnLine run;
  ASSERT_TRUE(run.Go(message + "never sent").ok());

  EXPECT_EQ(run.unit.Frames(), (std::vector<std::vector<std::uint8_t>>{Bytes(kBlank),
                                                                      Bytes(message)}));
  EXPECT_EQ(run.unit.Received().size(), 61u + 11u);
  // The pause comes between the frames: one reading, then 10,000 more.
  EXPECT_EQ(run.pause.received_at_pause, 61u);
  EXPECT_EQ(run.pause.readings, 10001);

  std::vector<std::string> expected;
  for (int i = 0; i < 61; ++i) {
    expected.push_back("blank " + std::to_string(i + 1));
    expected.push_back("bar " + std::to_string(i / 2));  // 0, 0, 1, 1, ... 30
  }
  for (int i = 0; i < 11; ++i) {
    expected.push_back("message " + std::to_string(i + 1));
    expected.push_back("bar " + std::to_string(30 + i / 2));
  }
  expected.push_back("bar 0");
  EXPECT_EQ(run.observer.calls, expected);
}

TEST(ProgrammingRunTest, EndsAtTheFailingByteAndSaysWhereAndWhy) {
  const struct {
    Breakdown breakdown;
    int after;  // bytes through before it
    RunOutcome outcome;
    RunPhase phase;
    int position;
  } cases[] = {{Breakdown::kNoAnswer, 0, RunOutcome::kNoAnswer, RunPhase::kBlank, 0},
               {Breakdown::kNoCts, 60, RunOutcome::kNoCts, RunPhase::kBlank, 60},
               {Breakdown::kTransmitterStuck, 61, RunOutcome::kTransmitterStuck,
                RunPhase::kMessage, 0},
               {Breakdown::kNoAnswer, 61 + 60, RunOutcome::kNoAnswer, RunPhase::kMessage, 60}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.after);
    RunOnLine run;
    const RunResult result = run.Go("MESSAGE", c.breakdown, c.after);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_TRUE(result.unit_failed());
    EXPECT_FALSE(result.port_failed());
    EXPECT_EQ(result.phase, c.phase);
    EXPECT_EQ(result.position, c.position);
    EXPECT_EQ(result.system_code, 0);
    // The unit had the bytes before, and the failing one only if it went out.
    const std::size_t reached = c.breakdown == Breakdown::kNoAnswer ? 1u : 0u;
    EXPECT_EQ(run.unit.Received().size(), static_cast<std::size_t>(c.after) + reached);
    EXPECT_EQ(run.observer.calls.back(), "bar 0");
    EXPECT_EQ(run.observer.answered, c.after);
  }
}

TEST(ProgrammingRunTest, APortThatFailsKeepsTheSystemsReasonForTheFrontEnds) {
  const struct {
    PortError error;
    RunOutcome outcome;
  } cases[] = {{{PortProblem::kWentAway, 5}, RunOutcome::kPortWentAway},
               {{PortProblem::kInUse, 16}, RunOutcome::kPortInUse},
               {{PortProblem::kAccessDenied, 13}, RunOutcome::kPortAccessDenied},
               {{PortProblem::kNoSuchPort, 2}, RunOutcome::kNoSuchPort},
               {{PortProblem::kOther, 22}, RunOutcome::kPortFailed},
               {{PortProblem::kNone, 0}, RunOutcome::kPortFailed}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error.system_code);
    RunOnLine run;
    const RunResult result = run.Go("HELLO", Breakdown::kPortGone, 70, c.error);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_TRUE(result.port_failed());
    EXPECT_EQ(result.system_code, c.error.system_code);
    EXPECT_EQ(result.phase, RunPhase::kMessage);
    EXPECT_EQ(result.position, 9);
    // Opening failed the same way: the same outcome, before any byte.
    const RunResult at_open = PortFailure(DeviceError{c.error, "told"});
    EXPECT_EQ(at_open.outcome, c.outcome);
    EXPECT_EQ(at_open.system_code, c.error.system_code);
    EXPECT_EQ(at_open.detail, "told");
  }
}

TEST(ProgrammingRunTest, AStopRequestEndsTheRunBeforeTheNextByteWithItsOwnOutcome) {
  for (int stop_after : {0, 30, 61, 65}) {
    SCOPED_TRACE(stop_after);
    RunOnLine run;
    run.observer.stop_after = stop_after;
    const RunResult result = run.Go("HELLO");
    EXPECT_EQ(result.outcome, RunOutcome::kStopped);
    EXPECT_FALSE(result.port_failed() || result.unit_failed());
    EXPECT_EQ(run.unit.Received().size(), static_cast<std::size_t>(stop_after));
    EXPECT_EQ(result.phase, stop_after < 61 ? RunPhase::kBlank : RunPhase::kMessage);
    EXPECT_EQ(result.position, stop_after < 61 ? stop_after : stop_after - 61);
    EXPECT_FALSE(result.byte_went_out);
    EXPECT_EQ(run.observer.calls.back(), "bar 0");
  }
}

TEST(ProgrammingRunTest, AByteWhoseWaitsEndWhileAStopIsAskedForCountsAsStopped) {
  UnitBehaviour silent;
  silent.answers = false;
  RunOnLine run(silent);

  struct StopDuringWaits : RecordingObserver {
    bool StopNow() override { return ++asked > 1; }  // not before the first byte, then always
    int asked = 0;
  } observer;
  auto line = std::make_unique<BreakingLine>(run.unit, Breakdown::kNone, PortError{});
  UartDriver driver(*line, line->clock());
  const RunResult result = RunProgramming(driver, 1, "HI", run.pause, observer);
  EXPECT_EQ(result.outcome, RunOutcome::kStopped);
  EXPECT_EQ(result.position, 0);
  EXPECT_EQ(run.unit.Received().size(), 1u);
}

TEST(ProgrammingRunTest, AStopAskedDuringAWaitEndsItAtOnceAndTheObserverHearsWhereItWaits) {
  UnitBehaviour silent;
  silent.answers = false;
  RunOnLine run(silent);

  // Stops once the first byte's answer has been awaited for 50 ms.
  struct StopWhileWaiting : RecordingObserver {
    void Waiting(RunPhase phase, int position, UartWait wait, std::int64_t waited_ms) override {
      heard = phase == RunPhase::kBlank && position == 0 && wait == UartWait::kAnswer;
      waited = waited_ms;
    }
    bool StopNow() override { return waited >= 50; }
    bool heard = false;
    std::int64_t waited = 0;
  } observer;
  auto line = std::make_unique<BreakingLine>(run.unit, Breakdown::kNone, PortError{});
  UartDriver driver(*line, line->clock());
  const RunResult result = RunProgramming(driver, 1, "HI", run.pause, observer);
  EXPECT_EQ(result.outcome, RunOutcome::kStopped);
  EXPECT_EQ(result.phase, RunPhase::kBlank);
  EXPECT_EQ(result.position, 0);
  EXPECT_TRUE(observer.heard);
  EXPECT_EQ(observer.waited, 50) << "the wait went on after the stop was asked";
  EXPECT_EQ(run.unit.Received().size(), 1u);
  EXPECT_TRUE(result.byte_went_out);
  EXPECT_EQ(observer.calls.back(), "bar 0");
}

TEST(DelayTest, ReadsTheClockOnceThen10000MoreTimes) {
  struct CountingClock : TimeOfDaySource {
    TimeOfDay Now() override { return TimeOfDay{++readings, 0}; }  // never the same twice
    int readings = 0;
  } clock;
  Delay(clock);
  EXPECT_EQ(clock.readings, 10001);
}

}  // namespace
