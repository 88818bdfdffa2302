#include "cli/program_unit.h"

#include <cstdio>
#include <memory>

#include "banner/frame.h"
#include "banner/pause.h"
#include "banner/programming_run.h"
#include "cli/exit_status.h"
#include "cli/progress_bar.h"
#include "cli/run_messages.h"
#include "cli/system.h"
#include "serial/monotonic_clock.h"
#include "serial/uart_driver.h"

namespace {

// The device is played as the UART of port index 1, the driver's COM1.
constexpr int kPortIndex = 1;

class CommandLineOps : public ProgrammerOps {
 public:
  CommandLineOps(UartDriver& driver, const std::string& text, ProgressBar* bar)
      : driver_(driver), text_(text), message_length_(SentLength(MessageFrame(text))), bar_(bar) {}

  void InitPort() override { driver_.InitPort(kPortIndex); }

  SendStatus SendByte(int byte) override {
    // A run can only end early at a byte that fails; ProgramUnit tells a stop
    // request from a failure by asking again.
    if (StopRequested()) return SendStatus::kPortMissing;
    const SendStatus status = driver_.SendByte(kPortIndex, byte);
    if (status == SendStatus::kSent && bar_ != nullptr) {
      ++sent_;
      if (message_phase_) {
        bar_->Show("message frame", sent_, message_length_);
      } else {
        bar_->Show("blank frame", sent_, kFrameSize);
      }
    }
    return status;
  }

  void Delay() override {
    ::Delay(time_of_day_);
    message_phase_ = true;
    sent_ = 0;
  }

  std::string ReadMessageText() override { return text_; }

  // The bar counts bytes of each frame rather than the run's 0..60 scale.
  void SetProgress(int) override {}

 private:
  UartDriver& driver_;
  SystemTimeOfDay time_of_day_;
  const std::string text_;
  const int message_length_;
  ProgressBar* bar_;
  bool message_phase_ = false;
  int sent_ = 0;
};

void Say(const std::string& text) { std::fprintf(stderr, "korvel-program: %s\n", text.c_str()); }

}  // namespace

int ProgramUnit(const std::string& port, const std::string& device, const std::string& text,
                bool quiet) {
  CatchStopRequests();
  const std::uint16_t base = UartDriver::BaseFor(kPortIndex);
  const std::unique_ptr<PortIo> io = PortIoFor(base, device);
  if (!io->Present(base)) {
    Say(PortProblemText(port, device, io->LastError(base), ""));
    return kExitPortFailed;
  }

  SteadyClock clock;
  UartDriver driver(*io, clock);
  const bool show_bar = !quiet && IsTerminal(stderr);
  ProgressBar bar(stderr);
  CommandLineOps ops(driver, text, show_bar ? &bar : nullptr);
  const RunResult result = RunProgramming(ops);
  bar.Clear();

  const int message_length = SentLength(MessageFrame(text));
  if (StopRequested()) {
    Say("stopped at " + RunPlace(result, message_length) +
        "; the unit has not got the whole banner");
    return kExitStopped;
  }
  if (result.ok()) {
    if (!quiet) Say(ProgrammedText(port, message_length));
    return kExitOk;
  }
  if (result.status == SendStatus::kPortMissing) {
    Say(PortProblemText(port, device, io->LastError(base), RunPlace(result, message_length)));
    return kExitPortFailed;
  }
  Say(UnitProblemText(port, result, message_length));
  return kExitUnitFailed;
}
