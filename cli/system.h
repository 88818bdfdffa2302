#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "serial/device_port_io.h"

// What korvel-program asks of the system it runs on; each system has its file.

// The device a --port value leads to: any path on a POSIX system, COMn (any
// n) on Windows. Refused with what is wrong otherwise.
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

bool IsTerminal(std::FILE* stream);

// From now on Ctrl-C and the system's requests to stop only set a flag, so
// that a run ends between two bytes and leaves the port as it found it.
void CatchStopRequests();
bool StopRequested();

// Bytes above 0x7F are shown as UTF-8: the console is told so while the
// program runs (Windows); elsewhere nothing needs doing.
void UseUtf8Output();
