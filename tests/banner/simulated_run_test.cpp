// Whole programming runs against the simulated UART with a unit on its line:
// the run, the driver and the registers together, as the dialog wires them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "banner/programming_run.h"
#include "serial/uart_driver.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"

using ::testing::ElementsAre;

namespace {

// The dialog's side of a run on a unit at base, with the simulator where the
// hardware would be; the clock lets time limits run out at no cost.
struct SimulatedDialog : ProgrammerOps {
  SimulatedDialog(int port, std::uint16_t base, UnitBehaviour behaviour, std::string text)
      : port(port), text(std::move(text)), unit(behaviour) {
    bus.Attach(base, uart);
  }

  void InitPort() override { driver.InitPort(port); }
  SendStatus SendByte(int byte) override { return driver.SendByte(port, byte); }
  void Delay() override {}
  std::string ReadMessageText() override {
    ++text_reads;
    return text;
  }
  void SetProgress(int position) override { progress.push_back(position); }

  int port;
  std::string text;
  std::vector<int> progress;
  int text_reads = 0;
  FakeClock clock{1};
  KorvelUnit unit;
  SimUart16550 uart{unit, &clock};
  SimBus bus;
  UartDriver driver{bus, clock};
};

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(SimulatedRunTest, TheUnitGetsBothFramesExactly) {
  UnitBehaviour chatty;
  chatty.stale_bytes = {0x15, 0x15, 0x15};
  chatty.extra_answer_bytes = 1;
  for (const auto& [port, base, behaviour] :
       {std::tuple{1, 0x3F8, UnitBehaviour{}}, std::tuple{2, 0x2F8, chatty}}) {
    SCOPED_TRACE(port);
    SimulatedDialog dialog(port, base, behaviour, "HELLO\r\nWORLD");
    ASSERT_TRUE(RunProgramming(dialog).ok());
    const std::string spaces28(28, ' ');
    EXPECT_THAT(dialog.unit.Frames(),
                ElementsAre(Bytes(spaces28 + "\r\n" + spaces28 + "\r\n\x1A"),
                            Bytes("HELLO\r\nWORLD" + std::string(1, '\0') +
                                  std::string(45, ' ') + "\r\n\x1A")));
    for (const RegisterAccess& access : dialog.bus.Log()) {
      ASSERT_EQ(access.address & ~7, base) << "access to " << access.address;
    }
  }
}

TEST(SimulatedRunTest, ASilentUnitFailsTheRunAtBlankByteZero) {
  UnitBehaviour silent;
  silent.answers = false;
  SimulatedDialog dialog(1, 0x3F8, silent, "NEVER SENT");
  const RunResult result = RunProgramming(dialog);
  EXPECT_EQ(result.status, SendStatus::kNoAnswer);
  EXPECT_EQ(result.phase, RunPhase::kBlank);
  EXPECT_EQ(result.position, 0);
  EXPECT_THAT(dialog.unit.Received(), ElementsAre(' '));
  EXPECT_EQ(dialog.text_reads, 0);
  EXPECT_THAT(dialog.progress, ElementsAre(0));
}

}  // namespace
