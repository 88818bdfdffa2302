#include "ui/run_failure_text.h"

#include "res/resource.h"
#include "serial/uart_registers.h"
#include "winlayer/resource_text.h"

namespace {

UINT TextFor(const RunResult& result) {
  switch (result.outcome) {
    case RunOutcome::kNoSuchPort: return IDS_PORT_NO_SUCH;
    case RunOutcome::kPortInUse: return IDS_PORT_IN_USE;
    case RunOutcome::kPortAccessDenied: return IDS_PORT_ACCESS_DENIED;
    case RunOutcome::kPortWentAway: return IDS_PORT_WENT_AWAY;
    case RunOutcome::kPortFailed:
      return result.system_code != 0 ? IDS_PORT_OTHER : IDS_PORT_MISSING;
    case RunOutcome::kNoAnswer: return IDS_UNIT_NO_ANSWER;
    case RunOutcome::kNoCts: return IDS_UNIT_NO_CTS;
    case RunOutcome::kTransmitterStuck: return IDS_TRANSMITTER_STUCK;
    case RunOutcome::kReceiverFlooded: return IDS_RECEIVER_FLOODED;
    case RunOutcome::kStopped:
    case RunOutcome::kProgrammed: break;
  }
  return IDS_RUN_STOPPED;
}

}  // namespace

// Named after the UART the driver picks for the index, so the two never disagree.
std::string PortName(int port) {
  return UartDriver::BaseFor(port) == uart::kCom2Base ? "COM2" : "COM1";
}

std::string RunFailureText(int port, const RunResult& result) {
  if (result.ok()) return std::string();
  const std::string words = result.system_code != 0 ? SystemErrorText(result.system_code) : "";
  return FormatResourceString(TextFor(result), {PortName(port), words});
}
