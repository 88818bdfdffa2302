#include "ui/run_failure_text.h"

#include "res/resource.h"
#include "serial/uart_driver.h"
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

// The button whose UART the driver picks for the index, so the two never
// disagree.
std::string PortName(int port, const PortChoice& leads) {
  return UartDriver::BaseFor(port) == uart::kCom2Base ? leads.port2 : leads.port1;
}

std::string RunFailureText(const std::string& portName, const RunResult& result) {
  if (result.ok()) return std::string();
  const std::string words = result.system_code != 0 ? SystemErrorText(result.system_code) : "";
  return FormatResourceString(TextFor(result), {portName, words});
}
