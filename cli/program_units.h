#pragma once
#include <string>
#include <vector>

#include "unitrun/ports_to_program.h"

// Programs the unit on every port with the same message, all at the same
// time, each in a run of its own: one that fails or waits does not stop or
// hold up the others. On a terminal each run's progress has a line on
// stderr; then a result line per port, in the order given (with quiet, only
// for those that failed); with json, also a JSON object per port on stdout.
// Gives the exit status: 0 when every port was programmed, otherwise the
// highest of the ports' statuses.
int ProgramUnits(const std::vector<PortToProgram>& ports, const std::string& text, bool quiet,
                 bool json);
