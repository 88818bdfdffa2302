#pragma once
#include <memory>

#include "network/byte_channel.h"
#include "network/tcp_connection.h"
#include "serial/port_error.h"
#include "serial/serial_device.h"

// A serial server that lets the client set the line: Telnet with RFC 2217's
// COM-PORT-OPTION, agreed here together with binary transmission both ways;
// null, with why, when the server will not (or is a raw server, a mix-up).
//
// Line settings go to the server, which must confirm each of 9600 baud, 8
// data bits, no parity and 1 stop bit within the driver's time limit, or the
// line is not used. DTR and RTS go to the server too; CTS comes from its
// modem-state notifications. A server that cannot tell the state of DTR (one
// with a pseudo-terminal behind it) and reports no modem line up has no
// modem lines to set or report, and CTS then counts as up, as on a
// pseudo-terminal; one that reports DSR or CD up has them, however it
// answers about DTR. A FIFO clear becomes a purge of the server's buffers.
//
// stop, when not null, is asked in every wait for the server's answers: a
// stop gives up at once (the device then goes, and opening it fails).
std::unique_ptr<SerialDevice> OpenRfc2217Device(std::unique_ptr<ByteChannel> channel,
                                                DeviceError* why, const StopCheck* stop);
