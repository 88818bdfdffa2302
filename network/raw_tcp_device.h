#pragma once
#include <memory>

#include "network/byte_channel.h"
#include "serial/serial_device.h"

// A serial server that has set up the line itself (raw TCP): bytes pass as
// they are, line settings and modem control go nowhere, and there are no
// modem lines to read: CTS counts as up, as on a pseudo-terminal. A Telnet
// server found behind it (its option negotiation among the first bytes)
// turns the device down as a mix-up.
std::unique_ptr<SerialDevice> MakeRawTcpDevice(std::unique_ptr<ByteChannel> channel);
