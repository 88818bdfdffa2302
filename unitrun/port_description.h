#pragma once
#include <string>

#include "unitrun/system_ports.h"

// --list-ports' line for a port: its name, padded to name_width, then what it
// is, as far as the system says:
//   /dev/ttyUSB0  USB 0403:6001, FTDI FT232R USB UART, serial number A10KZP9B,
//                 /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP9B-if00-port0
// (one line), "/dev/ttyS0  built-in", "COM3  USB Serial Port (COM3)".
std::string PortDescriptionLine(const SystemPort& port, std::size_t name_width);

// --list-ports --json's object for a port, on one line; every field is there,
// null where the system does not say:
//   {"port":"/dev/ttyUSB0","kind":"usb","vendor_id":"0403","product_id":"6001",
//    "manufacturer":"FTDI","product":"FT232R USB UART","serial_number":"A10KZP9B",
//    "by_id":"/dev/serial/by-id/...","description":null}
std::string PortDescriptionJson(const SystemPort& port);
