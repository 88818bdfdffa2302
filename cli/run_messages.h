#pragma once
#include <string>

#include "banner/programming_run.h"
#include "serial/port_error.h"

// What korvel-program tells the person about a run, naming the port as they
// gave it. message_length is how many bytes of the message frame go out.

// Where a run stopped, counted as people count: "byte 13 of 61 of the
// message frame".
std::string RunPlace(const RunResult& result, int message_length);

// The port could not be used: what happened and what to do. device is what
// the port leads to; place says where in the run it went away, or is empty.
std::string PortProblemText(const std::string& port, const std::string& device,
                            const PortError& error, const std::string& place);

// The unit stopped the run: which wait ran out, where, and what to check.
std::string UnitProblemText(const std::string& port, const RunResult& result, int message_length);

// The line that says a run went well.
std::string ProgrammedText(const std::string& port, int message_length);
