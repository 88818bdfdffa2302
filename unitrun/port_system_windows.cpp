#include <windows.h>

#include <cctype>
#include <vector>

#include "serial/com_port_name.h"
#include "serial/comm_port_io.h"
#include "unitrun/port_system.h"

bool DeviceForPort(const std::string& port, std::string* device, std::string* refusal) {
  std::string name;
  if (!ComPortName(port, &name)) {
    *refusal = "'" + port + "' is no COM port; a port is one such as COM1 or COM3";
    return false;
  }
  *device = ComPortDevice(name);
  return true;
}

std::unique_ptr<DevicePortIo> SerialDevicePortIo(std::uint16_t base, const std::string& device) {
  return std::make_unique<CommPortIo>(std::vector<CommPortIo::Line>{{base, device}});
}

// "\\.\COM3" whatever case it was typed in.
std::string DeviceIdentity(const std::string& device) {
  std::string identity = device;
  for (char& c : identity) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return identity;
}

bool DeviceExists(const std::string& device) {
  // The system's name for the device: "COM3" for "\\\\.\\COM3".
  const std::string prefix = "\\\\.\\";
  const std::string name = device.rfind(prefix, 0) == 0 ? device.substr(prefix.size()) : device;
  char target[512];
  return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
}

std::string AccessAdvice(const std::string&) { return std::string(); }

// Every name that is no COM port is refused before it is looked for.
std::string PortNameHint(const std::string&) { return std::string(); }
