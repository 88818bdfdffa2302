#include "unitrun/program_unit.h"

#include <chrono>
#include <utility>

#include "banner/pause.h"
#include "banner/programming_run.h"
#include "network/network_port_io.h"
#include "serial/monotonic_clock.h"
#include "serial/uart_driver.h"
#include "unitrun/exit_status.h"
#include "unitrun/port_system.h"

namespace {

// The device is played as the UART of port index 1, the driver's COM1.
constexpr int kPortIndex = 1;

// Counts the answered bytes of both frames, and passes on the waits and the
// stop requests.
class CountingObserver : public RunObserver {
 public:
  explicit CountingObserver(const RunHooks& hooks) : hooks_(hooks) {}

  void Answered(RunPhase phase, int sent) override {
    ++total_;
    if (hooks_.answered) hooks_.answered(phase, sent);
  }

  void Waiting(RunPhase phase, int position, UartWait wait, std::int64_t waited_ms) override {
    if (hooks_.waiting) hooks_.waiting(phase, position, wait, waited_ms);
  }

  bool StopNow() override { return hooks_.stop_now && hooks_.stop_now(); }

  int total() const { return total_; }

 private:
  const RunHooks& hooks_;
  int total_ = 0;
};

}  // namespace

UnitLine::UnitLine(PortToProgram port) : port_(std::move(port)) {
  const std::uint16_t base = UartDriver::BaseFor(kPortIndex);
  if (port_.server) {
    auto network = std::make_unique<NetworkPortIo>(base, *port_.server);
    network_ = network.get();
    io_ = std::move(network);
  } else {
    io_ = SerialDevicePortIo(base, port_.device);
  }
}

UnitLine::~UnitLine() = default;

bool UnitLine::Hold(RunResult* why, std::vector<StaleLock>* removed) {
  const std::uint16_t base = UartDriver::BaseFor(kPortIndex);
  const bool present = io_->Present(base);
  for (StaleLock& lock : io_->TakeRemovedLocks()) removed->push_back(std::move(lock));
  if (present) return true;
  *why = PortFailure(io_->LastDeviceError(base));
  return false;
}

UnitReport UnitLine::Program(const std::string& text, const RunHooks& hooks) {
  const auto start = std::chrono::steady_clock::now();
  UnitReport report;
  report.port = port_;
  CountingObserver observer(hooks);
  // A server's connection and negotiation give up once a stop is asked.
  if (network_ != nullptr) network_->SetStopCheck(hooks.stop_now);
  const bool held = Hold(&report.result, &report.removed_locks);
  if (!held && observer.StopNow()) {
    report.result = RunResult{};
    report.result.outcome = RunOutcome::kStopped;
  }
  if (held) {
    const std::uint16_t base = UartDriver::BaseFor(kPortIndex);
    SteadyClock clock;
    SystemTimeOfDay time_of_day;
    UartDriver driver(*io_, clock);
    report.result = RunProgramming(driver, kPortIndex, text, time_of_day, observer);
    if (report.result.port_failed()) KeepDeviceError(io_->LastDeviceError(base), &report.result);
  }
  // The set-up may have opened a port that went away: its locks too.
  for (StaleLock& lock : io_->TakeRemovedLocks()) report.removed_locks.push_back(std::move(lock));
  if (network_ != nullptr) network_->SetStopCheck(StopCheck());
  report.exit_status = ExitStatusFor(report.result);
  report.bytes_answered = observer.total();
  report.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return report;
}

UnitReport ProgramUnit(const PortToProgram& port, const std::string& text,
                       const RunHooks& hooks) {
  return UnitLine(port).Program(text, hooks);
}
