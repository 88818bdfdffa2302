#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "serial/device_port_io.h"

// What a front end asks of the system about its serial ports; each system
// has its file.

// The device a port name leads to: any path on a POSIX system, COMn (any n)
// on Windows. Refused with what is wrong otherwise, naming no option.
bool DeviceForPort(const std::string& port, std::string* device, std::string* refusal);

// The system's serial device played as the UART at base, opened on first use.
std::unique_ptr<DevicePortIo> SerialDevicePortIo(std::uint16_t base, const std::string& device);

// What stays the same whatever a device is called: the device a link leads
// to, the port's number. Two names with the same identity are one port.
std::string DeviceIdentity(const std::string& device);

// Whether the system has a device by that name, serial line or not.
bool DeviceExists(const std::string& device);

// For a port name that leads nowhere, the device it likely means, as a
// sentence: another system's name for a port, or a device's name without its
// folder; empty when there is none.
std::string PortNameHint(const std::string& port);

// For a device the system would not open: who may, and how to become one of
// them; empty when there is nothing more to say.
std::string AccessAdvice(const std::string& device);
