// The Windows port listing on made-up ports: entries put into the system's
// list of serial ports, and devices that own some of them, each removed
// again when the test ends.
#include <initguid.h>
#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "unitrun/system_ports.h"

namespace {

constexpr const wchar_t* kSerialComm = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

class SystemPortsWindowsTest : public testing::Test {
 protected:
  void TearDown() override {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      for (const std::wstring& device : listed_) RegDeleteValueW(key, device.c_str());
      RegCloseKey(key);
    }
    for (auto& [set, device] : devices_) {
      SetupDiRemoveDevice(set, &device);
      SetupDiDestroyDeviceInfoList(set);
    }
  }

  // A port in the system's list, as a driver enters it: its device's name
  // and the port's.
  void List(const std::wstring& device, const std::wstring& port) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    listed_.push_back(device);
    RegSetValueExW(key, device.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                   static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }

  // A device of the class that owns the port, with the name Device Manager
  // shows for it.
  void Own(const GUID& device_class, const std::wstring& instance, const std::wstring& port,
           const std::wstring& friendly) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&device_class, nullptr);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    ASSERT_TRUE(SetupDiCreateDeviceInfoW(set, instance.c_str(), &device_class, nullptr, nullptr, 0,
                                         &device))
        << "error " << GetLastError();
    devices_.emplace_back(set, device);
    ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyW(
        set, &device, SPDRP_FRIENDLYNAME, reinterpret_cast<const BYTE*>(friendly.c_str()),
        static_cast<DWORD>((friendly.size() + 1) * sizeof(wchar_t))));
    ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr));
    HKEY key = SetupDiCreateDevRegKeyW(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr,
                                       nullptr);
    ASSERT_NE(key, INVALID_HANDLE_VALUE);
    RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                   static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }

 private:
  std::vector<std::wstring> listed_;
  std::vector<std::pair<HDEVINFO, SP_DEVINFO_DATA>> devices_;
};

TEST_F(SystemPortsWindowsTest, EachPortByDeviceManagersNameInTheOrderOfTheirNumbers) {
  List(L"\\Device\\KorvelTest0", L"COM27");
  List(L"\\Device\\KorvelTest1", L"COM108");
  List(L"\\Device\\KorvelTest2", L"COM31");
  Own(GUID_DEVCLASS_PORTS, L"KORVELTEST\\PORT\\27", L"COM27", L"USB Serial Port (COM27)");
  // A modem's port is a port of the system's list too.
  Own(GUID_DEVCLASS_MODEM, L"KORVELTEST\\MODEM\\31", L"COM31", L"Caf\u00e9 Modem (COM31)");
  // A device whose port is not in the list has no port to give.
  Own(GUID_DEVCLASS_PORTS, L"KORVELTEST\\PORT\\40", L"COM40", L"Unplugged Port (COM40)");

  std::vector<std::pair<std::string, std::string>> listed;
  for (const SystemPort& port : SystemPorts()) {
    if (port.name == "COM27" || port.name == "COM31" || port.name == "COM108" ||
        port.name == "COM40") {
      listed.emplace_back(port.name, port.description);
    }
  }
  EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::string>>{
                        {"COM27", "USB Serial Port (COM27)"},
                        {"COM31", "Caf\xC3\xA9 Modem (COM31)"},  // as UTF-8
                        {"COM108", "\\Device\\KorvelTest1"},      // owned by no device
                    }));
}

}  // namespace
