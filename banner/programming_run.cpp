#include "banner/programming_run.h"

#include "banner/frame.h"

namespace {

// The blank frame fills the bar's first half, the message frame its second.
constexpr int kMessageBarBase = kFrameSize / 2;

// Tells the observer of each wait of one byte, and gives the wait up when it
// asks the run to stop. The driver's watch while one frame is sent.
class ByteWaitWatch : public WaitWatch {
 public:
  ByteWaitWatch(UartDriver& driver, RunObserver& observer, RunPhase phase)
      : driver_(driver), observer_(observer), phase_(phase) {
    driver_.SetWaitWatch(this);
  }
  ~ByteWaitWatch() { driver_.SetWaitWatch(nullptr); }
  ByteWaitWatch(const ByteWaitWatch&) = delete;
  ByteWaitWatch& operator=(const ByteWaitWatch&) = delete;

  void At(int position) { position_ = position; }

  bool GiveUp(UartWait wait, std::int64_t waited_ms) override {
    observer_.Waiting(phase_, position_, wait, waited_ms);
    return observer_.StopNow();
  }

 private:
  UartDriver& driver_;
  RunObserver& observer_;
  const RunPhase phase_;
  int position_ = 0;
};

// Sends a frame up to and including its first SUB, moving the bar from
// bar_base by one step for every two bytes.
RunResult SendFrame(UartDriver& driver, int port, const Frame& frame, RunPhase phase,
                    RunObserver& observer) {
  const int bar_base = phase == RunPhase::kBlank ? 0 : kMessageBarBase;
  ByteWaitWatch watch(driver, observer, phase);
  for (int i = 0; i < kFrameSize; ++i) {
    RunResult ended;
    ended.phase = phase;
    ended.position = i;
    if (observer.StopNow()) {
      ended.outcome = RunOutcome::kStopped;
      return ended;
    }
    watch.At(i);
    const SendStatus status = driver.SendByte(port, frame[i]);
    if (status != SendStatus::kSent) {
      // A stop asked for during the byte's waits is what ended them.
      if (observer.StopNow()) {
        ended.outcome = RunOutcome::kStopped;
        ended.byte_went_out = driver.ByteWentOut();
        return ended;
      }
      const PortError error = driver.LastError(port);
      ended.outcome = OutcomeOf(status, error);
      if (ended.port_failed()) ended.system_code = error.system_code;
      return ended;
    }
    observer.Answered(phase, i + 1);
    observer.BarAt(i / 2 + bar_base);
    if (frame[i] == kSub) break;
  }
  return RunResult{};
}

}  // namespace

RunResult RunProgramming(UartDriver& driver, int port, std::string_view text,
                         TimeOfDaySource& pause_clock, RunObserver& observer) {
  driver.InitPort(port);
  RunResult result = SendFrame(driver, port, BlankFrame(), RunPhase::kBlank, observer);
  if (result.ok()) {
    Delay(pause_clock);
    result = SendFrame(driver, port, MessageFrame(text), RunPhase::kMessage, observer);
  }
  observer.BarAt(0);
  return result;
}
