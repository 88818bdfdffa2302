#include "unitrun/unit_json.h"

#include <cstdio>

#include "unitrun/json_string.h"

const char* ResultWord(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kProgrammed: return "programmed";
    case RunOutcome::kStopped: return "stopped";
    case RunOutcome::kNoSuchPort: return "no-such-port";
    case RunOutcome::kPortInUse: return "port-in-use";
    case RunOutcome::kPortAccessDenied: return "access-denied";
    case RunOutcome::kPortWentAway: return "port-went-away";
    case RunOutcome::kPortFailed: return "port-failed";
    case RunOutcome::kReceiverFlooded: return "receiver-flooded";
    case RunOutcome::kTransmitterStuck: return "transmitter-stuck";
    case RunOutcome::kNoCts: return "no-cts";
    case RunOutcome::kNoAnswer: return "no-answer";
  }
  return "port-failed";
}

std::string UnitJson(const UnitReport& report, const std::string& message) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", report.seconds);
  return "{\"port\":" + JsonString(report.port.name) + ",\"result\":" +
         JsonString(ResultWord(report.result.outcome)) +
         ",\"status\":" + std::to_string(report.exit_status) +
         ",\"bytes_answered\":" + std::to_string(report.bytes_answered) +
         ",\"seconds\":" + seconds + ",\"message\":" + JsonString(message) + "}";
}
