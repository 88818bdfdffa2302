#pragma once
#include <string>

#include "serial/uart_driver.h"

// What a programming run may do to its surroundings. The dialog provides it:
// the serial operations act on its chosen port, the text is its message edit's,
// the progress is its bar (0..60).
class ProgrammerOps {
 public:
  virtual ~ProgrammerOps() = default;
  virtual void InitPort() = 0;
  virtual SendStatus SendByte(int byte) = 0;
  virtual void Delay() = 0;
  virtual std::string ReadMessageText() = 0;
  virtual void SetProgress(int position) = 0;
};

enum class RunPhase { kBlank, kMessage };

struct RunResult {
  SendStatus status = SendStatus::kSent;  // kSent: both frames went out
  RunPhase phase = RunPhase::kBlank;      // where it stopped, when it failed
  int position = 0;                       // frame position of the byte that failed
  bool ok() const { return status == SendStatus::kSent; }
};

// Blank frame, pause, message frame; the bar goes 0..30, 30..60, then back to 0.
// A byte that fails ends the run there.
RunResult RunProgramming(ProgrammerOps& ops);
