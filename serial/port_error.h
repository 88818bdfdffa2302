#pragma once
#include <cstdint>
#include <string>

// Why a port could not be used, sorted into what the operator can act on,
// with the system's own error code kept beside it (GetLastError on Windows,
// errno elsewhere) for the system's own words. Plain data: the driver also
// runs where there is no library to lean on.
enum class PortProblem {
  kNone,
  kNoSuchPort,    // the system has no serial port by that name
  kInUse,         // another program holds it
  kAccessDenied,  // the system refused to open it
  kWentAway,      // it was open and stopped working (an adapter pulled out)
  kOther,         // anything else; the system's words say what
};

struct PortError {
  PortProblem problem = PortProblem::kNone;
  int system_code = 0;
};

// A serial server reached as the other kind of server: its name's scheme
// says one, what came back says the other.
enum class ServerMixUp {
  kNone,
  kNoTelnet,        // Telnet asked for, and bytes came back raw: a raw server
  kNoTelnetAnswer,  // Telnet asked for, and nothing came back at all
  kTelnetServer,    // raw bytes asked for, and the server began Telnet's negotiation
};

// A line's format as a serial server was asked for it or keeps it; a code
// the server gave that means nothing is kept as unknown.
struct ServerLine {
  enum class Parity { kNone, kOdd, kEven, kMark, kSpace, kUnknown };
  enum class Stop { kOne, kOneAndAHalf, kTwo };
  std::uint32_t baud = 0;
  int data_bits = 0;
  Parity parity = Parity::kNone;
  Stop stop = Stop::kOne;
};

// What went wrong with a serial server on the network, and the values the
// words for it need; each front end words it.
struct ServerFault {
  enum class Kind {
    kNone,
    kBadAddress,             // the port's name is no address a server can have
    kConnectionRefused,      // nobody takes connections at that port
    kNoAnswer,               // nothing answered within seconds
    kUnreachable,            // it could not be reached; the system's code says why
    kNetworkUnusable,        // the system's network could not be started
    kLookupTimedOut,         // the name lookup of host did not end within seconds
    kUnknownHost,            // host is not known; resolver_text says the resolver's why
    kClosedByServer,         // the server closed the connection
    kConnectionBroke,        // the connection broke; the system's code says why
    kNoComPortOption,        // it refused RFC 2217's COM-PORT-OPTION
    kNoBinary,               // it refused Telnet's BINARY option
    kNegotiationUnanswered,  // Telnet spoken, but no answer to ours within seconds
    kLineUnconfirmed,        // asked not confirmed, setting by setting, within seconds
    kLineKept,               // it keeps kept instead of asked
  };
  Kind kind = Kind::kNone;
  std::string host;
  std::string resolver_text;
  int seconds = 0;
  ServerLine asked;
  ServerLine kept;
};

// Why a device could not be opened or used, as its stand-in reports it: the
// error, a serial server's fault, and in words what neither says (the
// holder of a lock), or nothing. For a mix-up, the bytes the server was sent
// that a raw server passes on to the unit's line, and those that came back.
struct DeviceError {
  PortError error;
  std::string detail;
  ServerFault server{};
  ServerMixUp mix_up = ServerMixUp::kNone;
  int bytes_sent = 0;
  int bytes_back = 0;
};

// A lock file whose owner no longer ran, removed to take the line: the file,
// and the pid it named.
struct StaleLock {
  std::string path;
  long pid = 0;
};

// The system's own words for one of its error codes, as one clause: without
// the full stop and line break the system may end them with.
std::string SystemErrorText(int code);

// What a failed open's errno means to the operator (POSIX systems).
PortProblem ProblemForOpenErrno(int code);
