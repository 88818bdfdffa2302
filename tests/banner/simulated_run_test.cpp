// Whole programming runs against the simulated UART with a unit on its line:
// the run, the driver and the registers together, as the dialog wires them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "banner/programming_run.h"
#include "serial/uart_driver.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"

using ::testing::ElementsAre;

namespace {

// The dialog's side of a run, with the simulator where the hardware would be.
class SimulatedDialog : public ProgrammerOps {
 public:
  SimulatedDialog(PortIo& io, MonotonicClock& clock, int port, std::string text)
      : driver_(io, clock), port_(port), text_(std::move(text)) {}

  void InitPort() override { driver_.InitPort(port_); }
  SendStatus SendByte(int byte) override { return driver_.SendByte(port_, byte); }
  void Delay() override {}
  std::string ReadMessageText() override {
    ++text_reads;
    return text_;
  }
  void SetProgress(int position) override { progress.push_back(position); }

  std::vector<int> progress;
  int text_reads = 0;

 private:
  UartDriver driver_;
  int port_;
  std::string text_;
};

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

struct Line {
  explicit Line(std::uint16_t base, UnitBehaviour behaviour = {})
      : unit(behaviour), uart(unit, &clock) {
    bus.Attach(base, uart);
  }
  FakeClock clock{1};  // time limits run out at no cost
  KorvelUnit unit;
  SimUart16550 uart;
  SimBus bus;
};

struct RunCase {
  const char* name;
  int port;
  std::uint16_t base;
  UnitBehaviour behaviour;
};

class SimulatedRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(SimulatedRunTest, TheUnitGetsBothFramesExactly) {
  const RunCase& c = GetParam();
  Line line(c.base, c.behaviour);
  SimulatedDialog dialog(line.bus, line.clock, c.port, "HELLO\r\nWORLD");
  ASSERT_TRUE(RunProgramming(dialog).ok());

  const std::string spaces28(28, ' ');
  EXPECT_THAT(line.unit.Frames(),
              ElementsAre(Bytes(spaces28 + "\r\n" + spaces28 + "\r\n\x1A"),
                          Bytes("HELLO\r\nWORLD" + std::string(1, '\0') +
                                std::string(45, ' ') + "\r\n\x1A")));
  EXPECT_THAT(line.unit.Display(), ElementsAre("HELLO" + std::string(23, ' '),
                                               "WORLD" + std::string(23, ' ')));
  for (const RegisterAccess& access : line.bus.Log()) {
    ASSERT_EQ(access.address & ~7, c.base) << "access to " << access.address;
  }
}

UnitBehaviour Chatty() {
  UnitBehaviour chatty;
  chatty.stale_bytes = {0x15, 0x15, 0x15};
  chatty.extra_answer_bytes = 1;
  return chatty;
}

INSTANTIATE_TEST_SUITE_P(Units, SimulatedRunTest,
                         ::testing::Values(RunCase{"Com1", 1, 0x3F8, {}},
                                           RunCase{"Com2ChattyUnit", 2, 0x2F8, Chatty()}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatedRunFailureTest, ASilentUnitFailsTheRunAtBlankByteZero) {
  UnitBehaviour silent;
  silent.answers = false;
  Line line(0x3F8, silent);
  SimulatedDialog dialog(line.bus, line.clock, 1, "NEVER SENT");

  const RunResult result = RunProgramming(dialog);
  EXPECT_EQ(result.status, SendStatus::kNoAnswer);
  EXPECT_EQ(result.phase, RunPhase::kBlank);
  EXPECT_EQ(result.position, 0);
  EXPECT_THAT(line.unit.Received(), ElementsAre(' '));
  EXPECT_EQ(dialog.text_reads, 0);
  EXPECT_THAT(dialog.progress, ElementsAre(0));
}

}  // namespace
