#pragma once
#include <string>
#include <vector>

// A serial port of this computer and what the system says it is. A field
// the system does not give stays empty.
struct SystemPort {
  std::string name;  // what --port takes: /dev/ttyUSB0, COM3
  std::string kind;  // "usb", "pci" or "built-in"
  std::string vendor_id, product_id;                 // four hex digits each (USB, PCI)
  std::string manufacturer, product, serial_number;  // as a USB device names itself
  std::string by_id;        // the /dev/serial/by-id link that leads to it
  std::string description;  // the system's own name for it (Windows)
};

// The serial ports of this computer, read from what the system keeps about
// them; no port is opened. Linux: the tty devices sysfs puts on a bus, but
// for a ttyS without a UART behind it. Windows: the system's COM ports.
std::vector<SystemPort> SystemPorts();
