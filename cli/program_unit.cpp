#include "cli/program_unit.h"

#include <chrono>
#include <memory>

#include "banner/frame.h"
#include "banner/pause.h"
#include "banner/programming_run.h"
#include "cli/exit_status.h"
#include "cli/system.h"
#include "serial/monotonic_clock.h"
#include "network/network_address.h"
#include "network/network_port_io.h"
#include "serial/uart_driver.h"

namespace {

// The device is played as the UART of port index 1, the driver's COM1.
constexpr int kPortIndex = 1;

// Counts each frame's answered bytes, and asks for Ctrl-C between two bytes.
class CountingObserver : public RunObserver {
 public:
  explicit CountingObserver(const AnsweredFn& answered) : answered_(answered) {}

  // Told once for each byte answered, whichever frame it is in.
  void Answered(RunPhase phase, int sent) override {
    ++total_;
    if (answered_) answered_(phase, sent);
  }

  bool StopNow() override { return StopRequested(); }

  int total() const { return total_; }

 private:
  const AnsweredFn& answered_;
  int total_ = 0;
};

std::unique_ptr<DevicePortIo> PortIoFor(std::uint16_t base, const std::string& device) {
  if (IsNetworkName(device)) {
    return std::make_unique<NetworkPortIo>(std::vector<DevicePortIo::Line>{{base, device}});
  }
  return SerialDevicePortIo(base, device);
}

}  // namespace

UnitReport ProgramUnit(const PortToProgram& port, const std::string& text,
                       const AnsweredFn& answered) {
  const auto start = std::chrono::steady_clock::now();
  UnitReport report;
  report.port = port;
  report.message_length = SentLength(MessageFrame(text));

  const std::uint16_t base = UartDriver::BaseFor(kPortIndex);
  const std::unique_ptr<DevicePortIo> io = PortIoFor(base, port.device);
  CountingObserver observer(answered);
  if (!io->Present(base)) {
    report.result = PortFailure(DeviceError{io->LastError(base), io->LastErrorDetail(base)});
  } else {
    SteadyClock clock;
    SystemTimeOfDay time_of_day;
    UartDriver driver(*io, clock);
    report.result = RunProgramming(driver, kPortIndex, text, time_of_day, observer);
    if (report.result.port_failed()) report.result.detail = io->LastErrorDetail(base);
  }
  report.exit_status = ExitStatusFor(report.result);
  report.bytes_sent = observer.total();
  report.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return report;
}
