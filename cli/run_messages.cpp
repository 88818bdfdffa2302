#include "cli/run_messages.h"

#include "banner/frame.h"
#include "cli/serial_ports.h"
#include "cli/system.h"
#include "serial/uart_driver.h"

namespace {

const std::string kTimeLimit = std::to_string(UartDriver::kTimeLimitMs / 1000) + " s";
const std::string kCheckTheUnit = "Check the cable and the unit's power, then try again.";

std::string PortsHere() {
  const std::vector<SerialPort> ports = SerialPorts();
  if (ports.empty()) return "No serial ports were found here.";
  std::string list = "Serial ports here:";
  for (const SerialPort& port : ports) list += " " + port.name;
  return list + ".";
}

}  // namespace

std::string RunPlace(const RunResult& result, int message_length) {
  const bool blank = result.phase == RunPhase::kBlank;
  return "byte " + std::to_string(result.position + 1) + " of " +
         std::to_string(blank ? kFrameSize : message_length) + " of the " +
         (blank ? "blank" : "message") + " frame";
}

std::string PortProblemText(const std::string& port, const std::string& device,
                            const PortError& error, const std::string& place) {
  const std::string why =
      error.system_code != 0 ? " (" + SystemErrorText(error.system_code) + ")" : "";
  switch (error.problem) {
    case PortProblem::kNoSuchPort:
      if (DeviceExists(device)) return port + " is not a serial port" + why + ". " + PortsHere();
      return port + " does not exist. Is the adapter plugged in? " + PortsHere();
    case PortProblem::kInUse:
      return port + " is in use by another program" + why + "; try again once it is done.";
    case PortProblem::kAccessDenied: {
      const std::string advice = AccessAdvice(device);
      return "no permission to open " + port + why + "." + (advice.empty() ? "" : " " + advice);
    }
    case PortProblem::kWentAway:
      return port + " stopped working during the run" +
             (place.empty() ? "" : ", at " + place) + why +
             ". Was the adapter pulled out? Nothing more was sent.";
    case PortProblem::kOther:
    case PortProblem::kNone:
      break;
  }
  return port + " could not be opened" + why + ".";
}

std::string UnitProblemText(const std::string& port, const RunResult& result, int message_length) {
  const std::string place = RunPlace(result, message_length);
  switch (result.status) {
    case SendStatus::kNoAnswer:
      return "the unit on " + port + " did not answer " + place + " within " + kTimeLimit + ". " +
             kCheckTheUnit;
    case SendStatus::kNoCts:
      return "the unit on " + port + " did not signal that it was ready (CTS) within " +
             kTimeLimit + ", at " + place + ". " + kCheckTheUnit;
    case SendStatus::kTransmitterStuck:
      return port + " did not finish sending " + place + " within " + kTimeLimit + ". " +
             kCheckTheUnit;
    case SendStatus::kReceiverFlooded:
      return "the unit on " + port + " kept sending for " + kTimeLimit +
             " without a pause, before " + place + ". " + kCheckTheUnit;
    case SendStatus::kSent:
    case SendStatus::kPortMissing:
      break;
  }
  return "programming on " + port + " stopped at " + place + ". " + kCheckTheUnit;
}

std::string ProgrammedText(const std::string& port, int message_length) {
  return port + ": programmed, blank frame " + std::to_string(kFrameSize) +
         " bytes and message frame " + std::to_string(message_length) + " bytes, each answered";
}
