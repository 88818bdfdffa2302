#include "unitrun/run_messages.h"

#include "banner/frame.h"
#include "serial/uart_driver.h"
#include "unitrun/port_system.h"
#include "unitrun/system_ports.h"

namespace {

const std::string kTimeLimit = std::to_string(UartDriver::kTimeLimitMs / 1000) + " s";
const std::string kCheckTheUnit = "Check the cable and the unit's power, then try again.";
const std::string kCheckTheServer =
    "Check the serial server and its line to the unit, the cable and the unit's power, then try "
    "again.";

std::string PortsHere() {
  const std::vector<SystemPort> ports = SystemPorts();
  if (ports.empty()) return "No serial ports were found here.";
  std::string list = "Serial ports here:";
  for (const SystemPort& port : ports) list += " " + port.name;
  return list + ".";
}

// Ends with a full stop unless it already ends as a sentence does.
std::string Sentence(const std::string& text) {
  return !text.empty() && (text.back() == '.' || text.back() == '?') ? text : text + ".";
}

// A serial server reached under the other kind's name, and the name to use.
std::string MixUpText(const PortToProgram& to, const RunResult& result,
                      const std::string& place) {
  const std::string& port = to.name;
  const std::string server = to.server ? to.server->Name() : "HOST:PORT";
  const std::string sent = std::to_string(result.mix_up_bytes_sent);
  switch (result.mix_up) {
    case ServerMixUp::kNoTelnet:
      return port + " could not be used: the server does not speak Telnet. It passed the " +
             sent + " bytes of Telnet's option negotiation on to the unit's line as they were, " +
             "and " + std::to_string(result.mix_up_bytes_back) +
             " came back raw. A server that passes bytes raw is reached with socket://" +
             server + ".";
    case ServerMixUp::kNoTelnetAnswer:
      return port + " could not be used: it did not answer Telnet's option negotiation within " +
             kTimeLimit + ". Is it an RFC 2217 server? A raw TCP server passes the negotiation's " +
             sent + " bytes on to the unit's line; one is reached with socket://" + server + ".";
    case ServerMixUp::kTelnetServer:
    case ServerMixUp::kNone:
      break;
  }
  return port + ": the server speaks Telnet (it began Telnet's option negotiation), so bytes " +
         "sent raw would not reach the unit as they are; the run stopped at " + place +
         ", and nothing more was sent. A server that lets the client set the line is reached " +
         "with rfc2217://" + server + ".";
}

std::string PortText(const PortToProgram& to, const RunResult& result, const std::string& place) {
  const std::string& port = to.name;
  const std::string& device = to.device;
  const std::string why =
      result.system_code != 0 ? " (" + SystemErrorText(result.system_code) + ")" : "";
  if (result.mix_up != ServerMixUp::kNone) return MixUpText(to, result, place);
  if (to.server) {
    if (result.outcome == RunOutcome::kPortWentAway) {
      return port + ": " + (result.detail.empty() ? "the connection broke" : result.detail) +
             " during the run, at " + place + why + ". Nothing more was sent.";
    }
    return Sentence(port + " could not be used: " +
                    (result.detail.empty() ? "it could not be reached" : result.detail) + why);
  }
  if (result.outcome == RunOutcome::kPortInUse) {
    // The detail names the holder; the system's code then says nothing more.
    const std::string holder =
        result.detail.empty() ? "another program, which could not be found out" + why
                              : result.detail;
    return port + " is in use by " + holder + "; try again once it is done.";
  }
  if (!result.detail.empty()) return Sentence(port + ": " + result.detail + why);
  switch (result.outcome) {
    case RunOutcome::kNoSuchPort:
      if (DeviceExists(device)) return port + " is not a serial port" + why + ". " + PortsHere();
      {
        const std::string hint = PortNameHint(port);
        return port + " does not exist. " +
               (hint.empty() ? "Is the adapter plugged in? " : hint + " ") + PortsHere();
      }
    case RunOutcome::kPortAccessDenied: {
      const std::string advice = AccessAdvice(device);
      return "no permission to open " + port + why + "." + (advice.empty() ? "" : " " + advice);
    }
    case RunOutcome::kPortWentAway:
      return port + " stopped working during the run, at " + place + why +
             ". Was the adapter pulled out? Nothing more was sent.";
    default:
      break;
  }
  return port + " could not be opened" + why + ".";
}

std::string UnitText(const PortToProgram& to, const RunResult& result, const std::string& place) {
  const std::string& port = to.name;
  // Behind a serial server, the server and its line to the unit are as
  // likely at fault as the unit.
  const std::string& check = to.server ? kCheckTheServer : kCheckTheUnit;
  switch (result.outcome) {
    case RunOutcome::kNoAnswer:
      return "the unit on " + port + " did not answer " + place + " within " + kTimeLimit + ". " +
             check;
    case RunOutcome::kNoCts:
      return "the unit on " + port + " did not signal that it was ready (CTS) within " +
             kTimeLimit + ", at " + place + ". " + check;
    case RunOutcome::kTransmitterStuck:
      return port + " did not finish sending " + place + " within " + kTimeLimit + ". " + check;
    default:
      break;
  }
  return "the unit on " + port + " kept sending for " + kTimeLimit + " without a pause, before " +
         place + ". " + check;
}

std::string RunPlace(const RunResult& result, int message_length) {
  const bool blank = result.phase == RunPhase::kBlank;
  return "byte " + std::to_string(result.position + 1) + " of " +
         std::to_string(blank ? kFrameSize : message_length) + " of the " +
         (blank ? "blank" : "message") + " frame";
}

std::string ProgrammedText(const std::string& port, int message_length) {
  return port + ": programmed, blank frame " + std::to_string(kFrameSize) +
         " bytes and message frame " + std::to_string(message_length) + " bytes, each answered";
}

}  // namespace

std::string OutcomeText(const PortToProgram& to, const RunResult& result, int message_length) {
  const std::string& port = to.name;
  const std::string place = RunPlace(result, message_length);
  if (result.ok()) return ProgrammedText(port, message_length);
  if (result.outcome == RunOutcome::kStopped) {
    return port + ": stopped at " + place +
           (result.byte_went_out ? ", which went out unanswered" : "") +
           "; the unit has not got the whole banner";
  }
  if (result.port_failed()) return PortText(to, result, place);
  return UnitText(to, result, place);
}

std::string StaleLockText(const StaleLock& lock) {
  return "removed the stale lock " + lock.path + " of pid " + std::to_string(lock.pid) +
         ", which no longer runs";
}
