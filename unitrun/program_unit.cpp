#include "unitrun/program_unit.h"

#include <chrono>
#include <utility>

#include "banner/pause.h"
#include "banner/programming_run.h"
#include "network/network_address.h"
#include "network/network_port_io.h"
#include "serial/monotonic_clock.h"
#include "serial/uart_driver.h"
#include "unitrun/exit_status.h"
#include "unitrun/port_system.h"

namespace {

// The device is played as the UART of port index 1, the driver's COM1.
constexpr int kPortIndex = 1;

// Counts the answered bytes of both frames, and passes on the stop requests.
class CountingObserver : public RunObserver {
 public:
  CountingObserver(const AnsweredFn& answered, const StopFn& stop_now)
      : answered_(answered), stop_now_(stop_now) {}

  void Answered(RunPhase phase, int sent) override {
    ++total_;
    if (answered_) answered_(phase, sent);
  }

  bool StopNow() override { return stop_now_ && stop_now_(); }

  int total() const { return total_; }

 private:
  const AnsweredFn& answered_;
  const StopFn& stop_now_;
  int total_ = 0;
};

std::unique_ptr<DevicePortIo> PortIoFor(std::uint16_t base, const std::string& device) {
  if (IsNetworkName(device)) {
    return std::make_unique<NetworkPortIo>(std::vector<DevicePortIo::Line>{{base, device}});
  }
  return SerialDevicePortIo(base, device);
}

}  // namespace

UnitLine::UnitLine(PortToProgram port)
    : port_(std::move(port)), io_(PortIoFor(UartDriver::BaseFor(kPortIndex), port_.device)) {}

UnitLine::~UnitLine() = default;

bool UnitLine::Hold(RunResult* why, std::vector<StaleLock>* removed) {
  const std::uint16_t base = UartDriver::BaseFor(kPortIndex);
  const bool present = io_->Present(base);
  for (StaleLock& lock : io_->TakeRemovedLocks()) removed->push_back(std::move(lock));
  if (present) return true;
  *why = PortFailure(DeviceError{io_->LastError(base), io_->LastErrorDetail(base)});
  return false;
}

UnitReport UnitLine::Program(const std::string& text, const AnsweredFn& answered,
                             const StopFn& stop_now) {
  const auto start = std::chrono::steady_clock::now();
  UnitReport report;
  report.port = port_;
  CountingObserver observer(answered, stop_now);
  if (Hold(&report.result, &report.removed_locks)) {
    const std::uint16_t base = UartDriver::BaseFor(kPortIndex);
    SteadyClock clock;
    SystemTimeOfDay time_of_day;
    UartDriver driver(*io_, clock);
    report.result = RunProgramming(driver, kPortIndex, text, time_of_day, observer);
    if (report.result.port_failed()) report.result.detail = io_->LastErrorDetail(base);
  }
  // The set-up may have opened a port that went away: its locks too.
  for (StaleLock& lock : io_->TakeRemovedLocks()) report.removed_locks.push_back(std::move(lock));
  report.exit_status = ExitStatusFor(report.result);
  report.bytes_answered = observer.total();
  report.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return report;
}

UnitReport ProgramUnit(const PortToProgram& port, const std::string& text,
                       const AnsweredFn& answered, const StopFn& stop_now) {
  return UnitLine(port).Program(text, answered, stop_now);
}
