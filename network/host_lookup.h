#pragma once
#include <memory>
#include <string>
#include <vector>

#include "serial/port_error.h"
#include "network/socket_headers.h"
#include "network/tcp_connection.h"

// A host's addresses for a TCP port, looked up within a time limit: the
// system's lookup may wait far longer on a name server that does not answer.
class HostLookup {
 public:
  // Null, with why in error, when the host is not known or the lookup did
  // not end in time.
  // A stop asked through stop gives up at once.
  static std::unique_ptr<HostLookup> Find(const std::string& host, int port, int timeout_ms,
                                          DeviceError* why, const StopCheck* stop = nullptr);
  ~HostLookup();
  HostLookup(const HostLookup&) = delete;
  HostLookup& operator=(const HostLookup&) = delete;

  // The addresses in the order the system prefers them.
  const addrinfo* first() const { return addresses_; }

 private:
  explicit HostLookup(addrinfo* addresses) : addresses_(addresses) {}
  addrinfo* addresses_;
};

// The numeric addresses a host name leads to ("127.0.0.1", "::1"), each once,
// looked up within timeout_ms; none when the name is not known or the lookup
// did not end in time.
std::vector<std::string> HostAddresses(const std::string& host, int timeout_ms);
