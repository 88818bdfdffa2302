#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "cli/serial_ports.h"

namespace {

// COM2 before COM10.
int PortNumber(const std::string& name) {
  return name.size() > 3 ? std::atoi(name.c_str() + 3) : 0;
}

}  // namespace

std::vector<SerialPort> SerialPorts() {
  // The system lists its serial ports here: the device as the value's name,
  // the port's name as its data.
  std::vector<SerialPort> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    char device[256];
    BYTE name[256];
    DWORD device_size = sizeof device;
    DWORD name_size = sizeof name - 1;
    DWORD type = 0;
    const LONG result =
        RegEnumValueA(key, index, device, &device_size, nullptr, &type, name, &name_size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    name[name_size] = 0;
    ports.push_back({reinterpret_cast<const char*>(name), device});
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end(), [](const SerialPort& a, const SerialPort& b) {
    return PortNumber(a.name) < PortNumber(b.name);
  });
  return ports;
}
