#include "unitrun/port_list.h"

#include <cctype>
#include <map>

#include "unitrun/port_system.h"
#include "network/network_address.h"

namespace {

// The one thing two names of the same port have in common.
bool Identity(const std::string& name, std::string* device, std::string* identity,
              std::string* refusal) {
  if (!IsNetworkName(name)) {
    if (!DeviceForPort(name, device, refusal)) return false;
    *identity = DeviceIdentity(*device);
    return true;
  }
  NetworkAddress address;
  if (!ParseNetworkAddress(name, &address, refusal)) return false;
  *device = name;
  std::string host = address.host;
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  *identity = "server " + host + " " + std::to_string(address.port);
  return true;
}

}  // namespace

bool PortNamed(const std::string& name, PortToProgram* port, std::string* identity,
               std::string* refusal) {
  port->name = name;
  return Identity(name, &port->device, identity, refusal);
}

bool PortsToProgram(const std::vector<std::string>& names, std::vector<PortToProgram>* ports,
                    std::string* refusal) {
  std::map<std::string, std::string> named;  // identity -> the name first given for it
  ports->clear();
  for (const std::string& name : names) {
    std::string device, identity;
    if (!Identity(name, &device, &identity, refusal)) {
      *refusal = "--port " + *refusal;
      return false;
    }
    const auto [first, fresh] = named.emplace(identity, name);
    if (!fresh) {
      *refusal = first->second == name
                     ? "--port " + name + " is given twice; each unit is programmed once"
                     : "--port " + first->second + " and --port " + name +
                           " are the same port; each unit is programmed once";
      return false;
    }
    ports->push_back({name, device});
  }
  return true;
}
