#include <windows.h>

#include <cctype>
#include <vector>

#include "serial/comm_port_io.h"
#include "unitrun/port_system.h"

bool DeviceForPort(const std::string& port, std::string* device, std::string* refusal) {
  // COM10 and up are reachable only by the device name, so every port goes
  // by it.
  bool ok = port.size() > 3 && port.size() <= 7 && port[3] != '0';
  for (std::size_t i = 0; ok && i < port.size(); ++i) {
    const auto c = static_cast<unsigned char>(port[i]);
    ok = i < 3 ? std::toupper(c) == "COM"[i] : std::isdigit(c) != 0;
  }
  if (!ok) {
    *refusal = "'" + port + "' is no COM port; a port is one such as COM1 or COM3";
    return false;
  }
  *device = "\\\\.\\COM" + port.substr(3);
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
