#pragma once
#include <functional>
#include <string>

#include "banner/run_result.h"
#include "cli/port_list.h"

// Told each time a byte of a frame has been answered: the frame, and how many
// of its bytes so far.
using AnsweredFn = std::function<void(RunPhase phase, int sent)>;

// How one unit's run went.
struct UnitReport {
  PortToProgram port;
  RunResult result;
  int exit_status = 0;
  int bytes_sent = 0;     // bytes that went out and were answered, both frames
  int message_length = 0;  // bytes of the message frame that go out
  double seconds = 0;      // from opening the port to the end of the run
};

// Programs the unit on one port with a message text, the same run as the
// utility's Program button: InitPort, the blank frame, the pause, the message
// frame, each byte answered. Stops between two bytes once a stop is asked for
// (StopRequested). answered may be empty.
UnitReport ProgramUnit(const PortToProgram& port, const std::string& text,
                       const AnsweredFn& answered);
