#include "banner/programming_run.h"

#include "banner/frame.h"

namespace {

// The blank frame fills the bar's first half, the message frame its second.
constexpr int kMessageBarBase = kFrameSize / 2;

// Sends a frame up to and including its first SUB, moving the bar from
// bar_base by one step for every two bytes.
RunResult SendFrame(UartDriver& driver, int port, const Frame& frame, RunPhase phase,
                    RunObserver& observer) {
  const int bar_base = phase == RunPhase::kBlank ? 0 : kMessageBarBase;
  for (int i = 0; i < kFrameSize; ++i) {
    RunResult ended;
    ended.phase = phase;
    ended.position = i;
    if (observer.StopNow()) {
      ended.outcome = RunOutcome::kStopped;
      return ended;
    }
    const SendStatus status = driver.SendByte(port, frame[i]);
    if (status != SendStatus::kSent) {
      // A stop asked for during the byte's waits is what ended them.
      if (observer.StopNow()) {
        ended.outcome = RunOutcome::kStopped;
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
