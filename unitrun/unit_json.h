#pragma once
#include <string>

#include "unitrun/program_unit.h"

// One unit's run as a JSON object on one line, for scripts: the port as
// given, the result as a word, the exit status, the bytes that went out and
// were answered, the seconds it took, and what korvel-program says of it.
//   {"port":"/dev/ttyUSB0","result":"programmed","status":0,"bytes_answered":122,
//    "seconds":0.271,"message":"/dev/ttyUSB0: programmed, ..."}
std::string UnitJson(const UnitReport& report, const std::string& message);

// The result word: "programmed", "stopped", "no-such-port", "port-in-use",
// "access-denied", "port-went-away", "port-failed", "receiver-flooded",
// "transmitter-stuck", "no-cts" or "no-answer".
const char* ResultWord(RunOutcome outcome);
