#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "network/tcp_connection.h"
#include "serial/device_port_io.h"

// The UART registers at each base played by a serial server on the network,
// named as --port takes it: {0x3F8, "rfc2217://192.168.1.20:3001"}. See
// OpenNetworkDevice for what each kind of server does with the registers.
class NetworkPortIo : public DevicePortIo {
 public:
  explicit NetworkPortIo(std::vector<Line> lines);

  // Asked while a server is connected to and while its answers are awaited:
  // a stop gives up at once. Empty for none.
  void SetStopCheck(StopCheck stop) { stop_ = std::move(stop); }

 private:
  std::unique_ptr<SerialDevice> OpenDevice(const std::string& name, DeviceError* why) override;

  StopCheck stop_;  // its address stays the same for the devices that ask it
};
