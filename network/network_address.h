#pragma once
#include <string>

// A serial server's address, as --port takes it: socket://HOST:PORT for a
// server that has set up the line itself (raw TCP), rfc2217://HOST:PORT for
// one that lets the client set it (Telnet's COM-PORT-OPTION). HOST is a name,
// an IPv4 address, or an IPv6 address in brackets.
struct NetworkAddress {
  enum class Kind { kRawTcp, kRfc2217 };
  Kind kind = Kind::kRawTcp;
  std::string host;  // without the brackets of an IPv6 address
  int port = 0;

  // "HOST:PORT" as it was written, to name the server in messages.
  std::string Name() const;
};

// Whether a port's name is a network address at all (it has a scheme).
bool IsNetworkName(const std::string& name);

// What is wrong with a network address, for the front end to word: the
// part of it at fault where there is one.
struct AddressFault {
  enum class Kind {
    kNone,
    kUnknownScheme,   // neither socket:// nor rfc2217://
    kNoPortNumber,    // no :PORT after the host
    kBadIpv6,         // brackets that hold no IPv6 address, or are not closed
    kBadHost,         // host is no host name or address
    kNoHost,          // nothing before :PORT
    kBadPortNumber,   // port is not from 1 to 65535
  };
  Kind kind = Kind::kNone;
  std::string host;
  std::string port;
};

// Reads a network address; on a mistake returns false and says what is
// wrong in fault, when not null.
bool ParseNetworkAddress(const std::string& name, NetworkAddress* address,
                         AddressFault* fault = nullptr);
