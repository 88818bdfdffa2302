#include "network/network_port_io.h"

#include <utility>
#include <vector>

#include "network/network_device.h"

NetworkPortIo::NetworkPortIo(std::uint16_t base, NetworkAddress server)
    : DevicePortIo(std::vector<Line>{{base, server.Name()}}), server_(std::move(server)) {}

std::unique_ptr<SerialDevice> NetworkPortIo::OpenDevice(const std::string& /*name*/,
                                                        DeviceError* why) {
  return OpenNetworkDevice(server_, why, &stop_);
}
