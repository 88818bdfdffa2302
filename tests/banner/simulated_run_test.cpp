// Whole programming runs against the simulated UART with a unit on its line:
// the run, the driver and the registers together, as the dialog wires them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "banner/frame.h"
#include "banner/pause.h"
#include "banner/programming_run.h"
#include "serial/uart_driver.h"
#include "sim/fake_clock.h"
#include "sim/korvel_unit.h"
#include "sim/sim_bus.h"
#include "sim/sim_uart16550.h"

namespace {

class CountingTimeOfDay : public TimeOfDaySource {
 public:
  TimeOfDay Now() override {
    ++readings;
    return TimeOfDay{};
  }
  int readings = 0;
};

// The dialog's side of a run, with the simulator where the hardware would be.
class SimulatedDialog : public ProgrammerOps {
 public:
  SimulatedDialog(PortIo& io, MonotonicClock& clock, int port, std::string text)
      : driver_(io, clock), port_(port), text_(std::move(text)) {}

  void InitPort() override { driver_.InitPort(port_); }
  SendStatus SendByte(int byte) override { return driver_.SendByte(port_, byte); }
  void Delay() override { ::Delay(time_of_day_); }
  std::string ReadMessageText() override {
    ++text_reads;
    return text_;
  }
  void SetProgress(int position) override { progress.push_back(position); }

  std::vector<int> progress;
  int text_reads = 0;
  CountingTimeOfDay time_of_day_;

 private:
  UartDriver driver_;
  int port_;
  std::string text_;
};

std::vector<std::uint8_t> SentPart(const Frame& frame) {
  std::vector<std::uint8_t> sent;
  for (std::uint8_t byte : frame) {
    sent.push_back(byte);
    if (byte == kSub) break;
  }
  return sent;
}

std::string Padded(const std::string& line) {
  return line + std::string(kLineLength - line.size(), ' ');
}

class SimulatedRun : public ::testing::Test {
 protected:
  void AttachUnit(std::uint16_t base, const UnitBehaviour& behaviour = {}) {
    unit_ = KorvelUnit(behaviour);
    bus_.Attach(base, uart_);
  }

  FakeClock clock_{1};  // every reading moves a millisecond on: time-outs cost nothing
  KorvelUnit unit_;
  SimUart16550 uart_{unit_, &clock_};
  SimBus bus_;
};

TEST_F(SimulatedRun, UnitReceivesTheBlankFrameThenTheMessageFrame) {
  AttachUnit(0x3F8);
  const std::string text = "HELLO\r\nWORLD";
  SimulatedDialog dialog(bus_, clock_, 1, text);

  const RunResult result = RunProgramming(dialog);
  ASSERT_TRUE(result.ok());

  const std::vector<std::vector<std::uint8_t>> frames = unit_.Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], SentPart(BlankFrame()));
  EXPECT_EQ(frames[1], SentPart(MessageFrame(text)));
  EXPECT_EQ(unit_.Received().size(), frames[0].size() + frames[1].size());

  const std::array<std::string, 2> display = unit_.Display();
  EXPECT_EQ(display[0], Padded("HELLO"));
  EXPECT_EQ(display[1], Padded("WORLD"));

  EXPECT_EQ(dialog.text_reads, 1);
  EXPECT_EQ(dialog.time_of_day_.readings, 1 + kPauseReadings);
  EXPECT_EQ(dialog.progress.back(), 0);
  EXPECT_EQ(uart_.Divisor(), 12);
  EXPECT_EQ(uart_.LineControl(), 0x03);
}

TEST_F(SimulatedRun, LongLineIsBrokenWhereTheDisplayEndsItsFirstLine) {
  AttachUnit(0x3F8);
  const std::string text = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";  // 36 characters
  SimulatedDialog dialog(bus_, clock_, 1, text);
  ASSERT_TRUE(RunProgramming(dialog).ok());

  const std::array<std::string, 2> display = unit_.Display();
  EXPECT_EQ(display[0], text.substr(0, kLineLength));
  EXPECT_EQ(display[1], Padded(text.substr(30)));
}

TEST_F(SimulatedRun, SecondPortReachesOnlyTheUartAtItsBase) {
  AttachUnit(0x2F8);
  SimulatedDialog dialog(bus_, clock_, 2, "PORT TWO");
  ASSERT_TRUE(RunProgramming(dialog).ok());
  EXPECT_EQ(unit_.Frames().size(), 2u);
  for (const RegisterAccess& access : bus_.Log()) {
    EXPECT_EQ(access.address & 0xFFF8, 0x2F8) << "address " << access.address;
  }
}

TEST_F(SimulatedRun, StaleBytesAfterTheBlankFrameDoNotDisturbTheMessage) {
  UnitBehaviour chatty;
  chatty.stale_bytes = {0x15, 0x15, 0x15};
  chatty.extra_answer_bytes = 1;
  AttachUnit(0x3F8, chatty);
  const std::string text = "STALE\r\nBYTES";
  SimulatedDialog dialog(bus_, clock_, 1, text);

  ASSERT_TRUE(RunProgramming(dialog).ok());
  const std::vector<std::vector<std::uint8_t>> frames = unit_.Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1], SentPart(MessageFrame(text)));
}

TEST_F(SimulatedRun, UnitThatNeverAnswersFailsTheRunAtTheFirstBlankByte) {
  UnitBehaviour silent;
  silent.answers = false;
  AttachUnit(0x3F8, silent);
  SimulatedDialog dialog(bus_, clock_, 1, "NEVER SENT");

  const RunResult result = RunProgramming(dialog);
  EXPECT_EQ(result.status, SendStatus::kNoAnswer);
  EXPECT_EQ(result.phase, RunPhase::kBlank);
  EXPECT_EQ(result.position, 0);
  EXPECT_EQ(unit_.Received(), std::vector<std::uint8_t>{kSpace});
  EXPECT_EQ(dialog.text_reads, 0);
  EXPECT_EQ(dialog.progress, std::vector<int>{0});
}

TEST_F(SimulatedRun, MissingPortFailsAtOnce) {
  AttachUnit(0x2F8);  // a unit on COM2, the run on COM1
  SimulatedDialog dialog(bus_, clock_, 1, "NEVER SENT");

  const RunResult result = RunProgramming(dialog);
  EXPECT_EQ(result.status, SendStatus::kPortMissing);
  EXPECT_EQ(result.position, 0);
  EXPECT_TRUE(unit_.Received().empty());
}

}  // namespace
