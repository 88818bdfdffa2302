#include "banner/programming_run.h"

#include "banner/frame.h"

namespace {

// Sends a frame up to and including its first SUB, moving the bar from
// progress_base by one step for every two bytes.
RunResult SendFrame(ProgrammerOps& ops, const Frame& frame, RunPhase phase, int progress_base) {
  for (int i = 0; i < kFrameSize; ++i) {
    const SendStatus status = ops.SendByte(frame[i]);
    if (status != SendStatus::kSent) {
      return RunResult{status, phase, i};
    }
    ops.SetProgress(i / 2 + progress_base);
    if (frame[i] == kSub) {
      break;
    }
  }
  return RunResult{};
}

}  // namespace

RunResult RunProgramming(ProgrammerOps& ops) {
  constexpr int kMessageProgressBase = kFrameSize / 2;  // the blank frame ends at 30

  ops.InitPort();

  RunResult result = SendFrame(ops, BlankFrame(), RunPhase::kBlank, 0);
  if (result.ok()) {
    ops.Delay();
    const Frame message = MessageFrame(ops.ReadMessageText());
    result = SendFrame(ops, message, RunPhase::kMessage, kMessageProgressBase);
  }

  ops.SetProgress(0);
  return result;
}
