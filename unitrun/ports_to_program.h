#pragma once
#include <optional>
#include <string>
#include <vector>

#include "network/network_address.h"

// A port korvel-program is to program: as the person named it, and the
// device or serial server it leads to, read once here.
struct PortToProgram {
  std::string name;
  std::string device;                   // empty for a serial server
  std::optional<NetworkAddress> server;  // a serial server's address
};

// What one port name leads to, and its identities: two names of the same
// port share one (a server's host name and its address). Refused with why,
// naming no option.
bool PortNamed(const std::string& name, PortToProgram* port,
               std::vector<std::string>* identities, std::string* refusal);

// What each --port leads to, in the order given. Refused, saying which and
// why, when one is no port this system can name or when two name the same
// port (a device under two names, or one server port).
bool PortsToProgram(const std::vector<std::string>& names, std::vector<PortToProgram>* ports,
                    std::string* refusal);
