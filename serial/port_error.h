#pragma once
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

// Why a device could not be opened or used, as its stand-in reports it: the
// error, and in words what the system's code does not say (a serial server's
// refusal), or nothing. For a mix-up, the bytes the server was sent that a
// raw server passes on to the unit's line, and those that came back.
struct DeviceError {
  PortError error;
  std::string detail;
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
