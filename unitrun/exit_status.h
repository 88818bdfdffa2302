#pragma once
#include "banner/run_result.h"

// korvel-program's exit status: what a script that calls it can act on.
enum ExitStatus {
  kExitOk = 0,           // both frames sent and answered; or what was asked is shown
  kExitRefused = 2,      // a usage mistake, or a message or file refused: nothing sent
  kExitPortFailed = 3,   // the port could not be opened, or went away during the run
  kExitUnitFailed = 4,   // the unit did not answer, or a wait ran out
  kExitStopped = 130,    // stopped by Ctrl-C or a signal, as shells count it
};

inline ExitStatus ExitStatusFor(const RunResult& result) {
  if (result.ok()) return kExitOk;
  if (result.outcome == RunOutcome::kStopped) return kExitStopped;
  return result.port_failed() ? kExitPortFailed : kExitUnitFailed;
}
