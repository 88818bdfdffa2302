#pragma once
#include <memory>

#include "network/network_address.h"
#include "network/tcp_connection.h"
#include "serial/port_error.h"
#include "serial/serial_device.h"

// How long a serial server may take to be found and to take the connection.
constexpr int kConnectTimeoutMs = 5000;

// The serial line a network address leads to, connected, and for RFC 2217
// with the COM-PORT-OPTION agreed; null, with why, when it cannot be.
//
// Raw TCP: the server has set up the line itself, so line settings and modem
// control go nowhere, and there are no modem lines to read: CTS counts as up,
// as on a pseudo-terminal.
//
// RFC 2217: line settings go to the server, which must confirm 9600 baud, 8
// data bits, no parity and 1 stop bit within the driver's time limit, or the
// line is not used. DTR and RTS go to the server too; CTS comes from its
// modem-state notifications. A server that cannot tell the state of DTR (one
// with a pseudo-terminal behind it) has no modem lines to set or report, and
// CTS then counts as up, as on a pseudo-terminal. A FIFO clear becomes a purge
// of the server's buffers.
//
// stop, when not null, is asked while the connection is made and in every
// wait for the server's answers: a stop gives up at once (the device then
// goes, and opening it fails).
std::unique_ptr<SerialDevice> OpenNetworkDevice(const NetworkAddress& address, DeviceError* why,
                                                const StopCheck* stop = nullptr);
