#include "unitrun/ports_to_program.h"

#include <cctype>
#include <map>
#include <utility>

#include "network/host_lookup.h"
#include "network/network_device.h"
#include "unitrun/port_system.h"
#include "unitrun/run_messages.h"

namespace {

// What two names of the same port have in common: for a device, what it
// leads to; for a server, each address its host name leads to on that TCP
// port (localhost and 127.0.0.1 share one). A name that cannot be looked up
// is kept as it is: the run will say why it cannot be reached.
bool Identities(const std::string& name, PortToProgram* port,
                std::vector<std::string>* identities, std::string* refusal) {
  identities->clear();
  port->name = name;
  port->device.clear();
  port->server.reset();
  if (!IsNetworkName(name)) {
    NetworkAddress server;
    if (!DeviceExists(name) && ParseNetworkAddress("socket://" + name, &server)) {
      *refusal = name + " names no device here; did you mean socket://" + name +
                 " or rfc2217://" + name +
                 "? socket:// reaches a serial server that passes bytes raw, rfc2217:// one "
                 "that lets the client set the line";
      return false;
    }
    if (!DeviceForPort(name, &port->device, refusal)) return false;
    identities->push_back(DeviceIdentity(port->device));
    return true;
  }
  NetworkAddress address;
  AddressFault fault;
  if (!ParseNetworkAddress(name, &address, &fault)) {
    *refusal = AddressFaultText(name, fault);
    return false;
  }
  const std::string tcp_port = " " + std::to_string(address.port);
  std::string host = address.host;
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  identities->push_back("server " + host + tcp_port);
  for (const std::string& numeric : HostAddresses(address.host, kConnectTimeoutMs)) {
    identities->push_back("server " + numeric + tcp_port);
  }
  port->server = std::move(address);
  return true;
}

}  // namespace

bool PortNamed(const std::string& name, PortToProgram* port,
               std::vector<std::string>* identities, std::string* refusal) {
  return Identities(name, port, identities, refusal);
}

bool PortsToProgram(const std::vector<std::string>& names, std::vector<PortToProgram>* ports,
                    std::string* refusal) {
  std::map<std::string, std::string> named;  // identity -> the name first given for it
  ports->clear();
  for (const std::string& name : names) {
    PortToProgram port;
    std::vector<std::string> identities;
    if (!Identities(name, &port, &identities, refusal)) {
      *refusal = "--port " + *refusal;
      return false;
    }
    for (const std::string& identity : identities) {
      const auto first = named.find(identity);
      if (first == named.end()) continue;
      *refusal = first->second == name
                     ? "--port " + name + " is given twice; each unit is programmed once"
                     : "--port " + first->second + " and --port " + name +
                           " are the same port; each unit is programmed once";
      return false;
    }
    for (const std::string& identity : identities) named.emplace(identity, name);
    ports->push_back(std::move(port));
  }
  return true;
}
