#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "unitrun/system_ports.h"

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return "";
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  out.pop_back();  // the terminating zero
  return out;
}

// A string value of an open key, or empty.
std::string StringValue(HKEY key, const wchar_t* name) {
  wchar_t value[256];
  DWORD size = sizeof value - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return "";
  }
  value[size / sizeof(wchar_t)] = L'\0';
  return Utf8(value);
}

// What Device Manager calls each port that belongs to a device ("USB
// Serial Port (COM3)"), by the port's name. A device that has a COM port,
// whatever its class (ports, modems, ...), keeps the port's name in its
// own registry key.
std::map<std::string, std::string> FriendlyNames() {
  std::map<std::string, std::string> names;
  HDEVINFO devices =
      SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    const std::string port = StringValue(key, L"PortName");
    RegCloseKey(key);
    wchar_t friendly[256];
    if (port.empty() || !SetupDiGetDeviceRegistryPropertyW(
                            devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                            reinterpret_cast<BYTE*>(friendly), sizeof friendly, nullptr)) {
      continue;
    }
    names.emplace(port, Utf8(friendly));
  }
  SetupDiDestroyDeviceInfoList(devices);
  return names;
}

// COM2 before COM10.
int PortNumber(const std::string& name) {
  return name.size() > 3 ? std::atoi(name.c_str() + 3) : 0;
}

}  // namespace

std::vector<SystemPort> SystemPorts() {
  // The system lists its serial ports here: the device as the value's name,
  // the port's name as its data. A port no device owns (one a driver makes
  // up) is described by its device.
  std::vector<SystemPort> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  const std::map<std::string, std::string> friendly = FriendlyNames();
  for (DWORD index = 0;; ++index) {
    wchar_t device[256];
    DWORD device_size = sizeof device / sizeof device[0];
    const LONG result =
        RegEnumValueW(key, index, device, &device_size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;
    SystemPort port;
    port.name = StringValue(key, device);
    if (port.name.empty()) continue;
    const auto name = friendly.find(port.name);
    port.description = name != friendly.end() ? name->second : Utf8(device);
    ports.push_back(port);
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end(), [](const SystemPort& a, const SystemPort& b) {
    return PortNumber(a.name) < PortNumber(b.name);
  });
  return ports;
}
