#include "unitrun/run_messages.h"

#include "banner/frame.h"
#include "serial/uart_driver.h"
#include "unitrun/port_system.h"
#include "unitrun/system_ports.h"

namespace {

// Every wait's length as the person reads it.
std::string Seconds(int seconds) { return std::to_string(seconds) + " s"; }

const std::string kTimeLimit = Seconds(UartDriver::kTimeLimitMs / 1000);
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

// "9600 baud, 8 data bits, no parity, 1 stop bit".
std::string LineText(const ServerLine& line) {
  const char* parity = "no parity";
  switch (line.parity) {
    case ServerLine::Parity::kOdd: parity = "odd parity"; break;
    case ServerLine::Parity::kEven: parity = "even parity"; break;
    case ServerLine::Parity::kMark: parity = "mark parity"; break;
    case ServerLine::Parity::kSpace: parity = "space parity"; break;
    case ServerLine::Parity::kUnknown: parity = "an unknown parity"; break;
    case ServerLine::Parity::kNone: break;
  }
  const char* stops = line.stop == ServerLine::Stop::kTwo           ? "2 stop bits"
                      : line.stop == ServerLine::Stop::kOneAndAHalf ? "1.5 stop bits"
                                                                    : "1 stop bit";
  return std::to_string(line.baud) + " baud, " + std::to_string(line.data_bits) + " data bits, " +
         parity + ", " + stops;
}

// What a serial server did, as a clause after "could not be used: " or
// before " during the run"; a port that went with no fault named lost its
// connection.
std::string ServerFaultText(const std::string& port, const ServerFault& fault, bool went_away) {
  using Kind = ServerFault::Kind;
  switch (fault.kind) {
    case Kind::kBadAddress: {
      NetworkAddress unused;
      AddressFault address;
      ParseNetworkAddress(port, &unused, &address);
      return AddressFaultText(port, address);
    }
    case Kind::kConnectionRefused:
      return "the connection was refused: is the serial server running, and is that its port?";
    case Kind::kNoAnswer:
      return "nothing answered there within " + Seconds(fault.seconds) +
             ": is the address right, and the server on the network?";
    case Kind::kUnreachable:
      return "it could not be reached";
    case Kind::kNetworkUnusable:
      return "the network could not be used";
    case Kind::kLookupTimedOut:
      return "the name lookup of " + fault.host + " did not end within " + Seconds(fault.seconds);
    case Kind::kUnknownHost:
      return fault.host + " is not a known host (" + fault.resolver_text + ")";
    case Kind::kClosedByServer:
      return "the server closed the connection";
    case Kind::kConnectionBroke:
      return "the connection broke";
    case Kind::kNoComPortOption:
      return "it does not take RFC 2217's COM-PORT-OPTION, so the line cannot be set from here "
             "(a server that sets up the line itself is reached with socket://)";
    case Kind::kNoBinary:
      return "it will not pass every byte unchanged (Telnet's BINARY option was refused)";
    case Kind::kNegotiationUnanswered:
      return "it did not answer Telnet's option negotiation within " + Seconds(fault.seconds) +
             ": is it an RFC 2217 server?";
    case Kind::kLineUnconfirmed:
      return "it did not confirm the line settings (" + LineText(fault.asked) + ") within " +
             Seconds(fault.seconds);
    case Kind::kLineKept:
      return "it keeps the line at " + LineText(fault.kept) + " instead of " +
             LineText(fault.asked);
    case Kind::kNone:
      break;
  }
  return went_away ? "the connection broke" : "it could not be reached";
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
    const bool went_away = result.outcome == RunOutcome::kPortWentAway;
    const std::string what = result.server.kind == ServerFault::Kind::kNone && !result.detail.empty()
                                 ? result.detail
                                 : ServerFaultText(port, result.server, went_away);
    if (went_away) {
      return port + ": " + what + " during the run, at " + place + why + ". Nothing more was sent.";
    }
    return Sentence(port + " could not be used: " + what + why);
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

std::string AddressFaultText(const std::string& name, const AddressFault& fault) {
  const std::string quoted = "'" + name + "'";
  switch (fault.kind) {
    case AddressFault::Kind::kNoPortNumber:
      return quoted + " has no port number: write HOST:PORT, such as " +
             name.substr(0, name.find("://") + 3) + "192.168.1.20:3001";
    case AddressFault::Kind::kBadIpv6:
      return quoted + ": an IPv6 address goes in brackets, such as [2001:db8::20]:3001";
    case AddressFault::Kind::kBadHost:
      return quoted + ": '" + fault.host + "' is no host name or address" +
             (fault.host.find(':') != std::string::npos ? " (an IPv6 address goes in brackets)"
                                                        : "");
    case AddressFault::Kind::kNoHost:
      return quoted + " names no host";
    case AddressFault::Kind::kBadPortNumber:
      return quoted + ": the port number must be from 1 to 65535, not '" + fault.port + "'";
    case AddressFault::Kind::kUnknownScheme:
    case AddressFault::Kind::kNone:
      break;
  }
  return quoted + ": a network port is socket://HOST:PORT or rfc2217://HOST:PORT";
}
