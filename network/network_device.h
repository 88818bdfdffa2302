#pragma once
#include <memory>

#include "network/network_address.h"
#include "network/tcp_connection.h"
#include "serial/port_error.h"
#include "serial/serial_device.h"

// How long a serial server may take to be found and to take the connection.
constexpr int kConnectTimeoutMs = 5000;

// The serial line a network address leads to, connected, and for RFC 2217
// with the COM-PORT-OPTION agreed; null, with why, when it cannot be. What
// each kind of server does with the line: MakeRawTcpDevice and
// OpenRfc2217Device.
//
// stop, when not null, is asked while the connection is made and in every
// wait for the server's answers: a stop gives up at once (the device then
// goes, and opening it fails).
std::unique_ptr<SerialDevice> OpenNetworkDevice(const NetworkAddress& address, DeviceError* why,
                                                const StopCheck* stop = nullptr);
