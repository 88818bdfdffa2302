#include "network/network_port_io.h"

#include <utility>

#include "network/network_address.h"
#include "network/network_device.h"

NetworkPortIo::NetworkPortIo(std::vector<Line> lines) : DevicePortIo(std::move(lines)) {}

std::unique_ptr<SerialDevice> NetworkPortIo::OpenDevice(const std::string& name,
                                                        DeviceError* why) {
  NetworkAddress address;
  if (!ParseNetworkAddress(name, &address)) {
    why->error = PortError{PortProblem::kNoSuchPort, 0};
    why->server.kind = ServerFault::Kind::kBadAddress;
    return nullptr;
  }
  return OpenNetworkDevice(address, why, &stop_);
}
