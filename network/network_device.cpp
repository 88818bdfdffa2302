#include "network/network_device.h"

#include <utility>

#include "network/raw_tcp_device.h"
#include "network/rfc2217_device.h"
#include "network/tcp_connection.h"

std::unique_ptr<SerialDevice> OpenNetworkDevice(const NetworkAddress& address, DeviceError* why,
                                                const StopCheck* stop) {
  std::unique_ptr<TcpConnection> connection =
      TcpConnection::Open(address.host, address.port, kConnectTimeoutMs, why, stop);
  if (connection == nullptr) return nullptr;
  if (address.kind == NetworkAddress::Kind::kRawTcp) return MakeRawTcpDevice(std::move(connection));
  return OpenRfc2217Device(std::move(connection), why, stop);
}
