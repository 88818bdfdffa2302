#pragma once
#include <string_view>

#include "banner/pause.h"
#include "banner/run_result.h"
#include "serial/uart_driver.h"

// What a front end is told while a run goes on, and how it asks it to stop.
// Each call comes between two bytes, or during a wait of one.
class RunObserver {
 public:
  // The progress scale, 0..60: the blank frame fills 0..30, the message frame
  // 30..60; back to 0 when the run ends, however it ends.
  virtual void BarAt(int /*position*/) {}
  // A byte of a frame went out and was answered: sent bytes of that frame so far.
  virtual void Answered(RunPhase /*phase*/, int /*sent*/) {}
  // A wait for the byte at position (from 0) of a frame has lasted waited_ms
  // so far; told again and again while it lasts.
  virtual void Waiting(RunPhase /*phase*/, int /*position*/, UartWait /*wait*/,
                       std::int64_t /*waited_ms*/) {}
  // Asked before each byte and during its waits; true ends the run there,
  // nothing more sent.
  virtual bool StopNow() { return false; }

 protected:
  ~RunObserver() = default;
};

// Programs the unit on the driver's port: InitPort, the blank frame, the
// pause (read on pause_clock), then the frame of the message text, each byte
// answered. A byte that fails, or a request to stop, ends the run there.
RunResult RunProgramming(UartDriver& driver, int port, std::string_view text,
                         TimeOfDaySource& pause_clock, RunObserver& observer);
