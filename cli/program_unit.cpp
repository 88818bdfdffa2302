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

// Each frame's bytes on a terminal's bar, and Ctrl-C between two bytes.
class CommandLineObserver : public RunObserver {
 public:
  CommandLineObserver(ProgressBar* bar, int message_length)
      : bar_(bar), message_length_(message_length) {}

  void Answered(RunPhase phase, int sent) override {
    if (bar_ == nullptr) return;
    if (phase == RunPhase::kBlank) {
      bar_->Show("blank frame", sent, kFrameSize);
    } else {
      bar_->Show("message frame", sent, message_length_);
    }
  }

  bool StopNow() override { return StopRequested(); }

 private:
  ProgressBar* bar_;
  const int message_length_;
};

void Say(const std::string& text) { std::fprintf(stderr, "korvel-program: %s\n", text.c_str()); }

}  // namespace

int ProgramUnit(const std::string& port, const std::string& device, const std::string& text,
                bool quiet) {
  CatchStopRequests();
  const std::uint16_t base = UartDriver::BaseFor(kPortIndex);
  const std::unique_ptr<PortIo> io = PortIoFor(base, device);
  const int message_length = SentLength(MessageFrame(text));
  if (!io->Present(base)) {
    Say(OutcomeText(port, device, PortFailure(io->LastError(base)), message_length));
    return kExitPortFailed;
  }

  SteadyClock clock;
  SystemTimeOfDay time_of_day;
  UartDriver driver(*io, clock);
  ProgressBar bar(stderr);
  CommandLineObserver observer(!quiet && IsTerminal(stderr) ? &bar : nullptr, message_length);
  const RunResult result = RunProgramming(driver, kPortIndex, text, time_of_day, observer);
  bar.Clear();

  if (!result.ok() || !quiet) Say(OutcomeText(port, device, result, message_length));
  return ExitStatusFor(result);
}
