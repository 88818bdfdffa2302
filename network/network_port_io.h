#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "network/network_address.h"
#include "network/tcp_connection.h"
#include "serial/device_port_io.h"

// The UART registers at base played by a serial server on the network, its
// address read by the caller. See OpenNetworkDevice for what each kind of
// server does with the registers.
class NetworkPortIo : public DevicePortIo {
 public:
  NetworkPortIo(std::uint16_t base, NetworkAddress server);

  // Asked while a server is connected to and while its answers are awaited:
  // a stop gives up at once. Empty for none.
  void SetStopCheck(StopCheck stop) { stop_ = std::move(stop); }

 private:
  std::unique_ptr<SerialDevice> OpenDevice(const std::string& name, DeviceError* why) override;

  NetworkAddress server_;
  StopCheck stop_;  // its address stays the same for the devices that ask it
};
