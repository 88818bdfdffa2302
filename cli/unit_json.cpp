#include "cli/unit_json.h"

#include <cstdio>

namespace {

// A JSON string: quotes, backslashes and control bytes escaped; every other
// byte as it is, so UTF-8 stays UTF-8.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

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
  return "{\"port\":" + Quoted(report.port.name) + ",\"result\":" +
         Quoted(ResultWord(report.result.outcome)) +
         ",\"status\":" + std::to_string(report.exit_status) +
         ",\"bytes_sent\":" + std::to_string(report.bytes_sent) + ",\"seconds\":" + seconds +
         ",\"message\":" + Quoted(message) + "}";
}
