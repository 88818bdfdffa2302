#include "ui/run_failure_text.h"

#include "res/resource.h"
#include "serial/uart_registers.h"
#include "winlayer/resource_text.h"

namespace {

UINT PortProblemText(PortProblem problem) {
  switch (problem) {
    case PortProblem::kNoSuchPort: return IDS_PORT_NO_SUCH;
    case PortProblem::kInUse: return IDS_PORT_IN_USE;
    case PortProblem::kAccessDenied: return IDS_PORT_ACCESS_DENIED;
    case PortProblem::kWentAway: return IDS_PORT_WENT_AWAY;
    case PortProblem::kOther: return IDS_PORT_OTHER;
    case PortProblem::kNone: break;
  }
  return IDS_PORT_MISSING;
}

UINT StatusText(SendStatus status) {
  switch (status) {
    case SendStatus::kNoAnswer: return IDS_UNIT_NO_ANSWER;
    case SendStatus::kNoCts: return IDS_UNIT_NO_CTS;
    case SendStatus::kTransmitterStuck: return IDS_TRANSMITTER_STUCK;
    case SendStatus::kReceiverFlooded: return IDS_RECEIVER_FLOODED;
    case SendStatus::kSent:
    case SendStatus::kPortMissing: break;
  }
  return IDS_RUN_STOPPED;
}

}  // namespace

// Named after the UART the driver picks for the index, so the two never disagree.
std::string PortName(int port) {
  return UartDriver::BaseFor(port) == uart::kCom2Base ? "COM2" : "COM1";
}

std::string RunFailureText(int port, SendStatus status, const PortError& error) {
  const std::string name = PortName(port);
  if (status == SendStatus::kSent) return std::string();
  if (status != SendStatus::kPortMissing) return FormatResourceString(StatusText(status), {name});
  return FormatResourceString(PortProblemText(error.problem),
                              {name, SystemErrorText(static_cast<DWORD>(error.system_code))});
}
