// The port listing on a made-up sysfs and /dev, laid out as the kernel and
// udev lay them out.
#include "unitrun/sysfs_ports.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class SysfsPortsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "sysfs-ports-XXXXXX").string();
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path At(const std::string& path) const { return root_ / path; }

  void File(const std::string& path, const std::string& text) const {
    fs::create_directories(At(path).parent_path());
    std::ofstream(At(path)) << text << "\n";
  }

  // A relative link, as sysfs and udev make them.
  void Link(const std::string& path, const std::string& target) const {
    fs::create_directories(At(path).parent_path());
    if (!fs::exists(At(target))) fs::create_directories(At(target));
    fs::create_symlink(fs::relative(At(target), At(path).parent_path()), At(path));
  }

  // A tty of the device at device_dir (under sys/devices), with its node in dev.
  void Tty(const std::string& name, const std::string& device_dir) const {
    const std::string tty = "sys/devices/" + device_dir + "/tty/" + name;
    File(tty + "/dev", "188:0");
    Link(tty + "/device", "sys/devices/" + device_dir);
    Link("sys/class/tty/" + name, tty);
    File("dev/" + name, "");
  }

  void Subsystem(const std::string& device_dir, const std::string& bus) const {
    Link("sys/devices/" + device_dir + "/subsystem", "sys/bus/" + bus);
  }

  void UsbDevice(const std::string& device_dir, const std::string& vendor,
                 const std::string& product_id, const std::vector<std::string>& strings) const {
    const std::string dir = "sys/devices/" + device_dir;
    Subsystem(device_dir, "usb");
    File(dir + "/idVendor", vendor);
    File(dir + "/idProduct", product_id);
    const char* names[] = {"manufacturer", "product", "serial"};
    for (std::size_t i = 0; i < strings.size(); ++i) {
      if (!strings[i].empty()) File(dir + "/" + names[i], strings[i]);
    }
  }

  fs::path root_;
};

std::vector<std::string> Fields(const SystemPort& port) {
  return {port.name,    port.kind,          port.vendor_id, port.product_id, port.manufacturer,
          port.product, port.serial_number, port.by_id,     port.description};
}

TEST_F(SysfsPortsTest, EachPortSaysWhatItIsAndPortsWithoutAUartAreLeftOut) {
  const std::string hc = "pci0000:00/0000:00:14.0";  // the USB host controller, itself on PCI
  Subsystem(hc, "pci");
  File("sys/devices/" + hc + "/vendor", "0x8086");
  File("sys/devices/" + hc + "/device", "0xa36d");
  UsbDevice(hc + "/usb1", "1d6b", "0002", {"Linux 6.1.0 xhci-hcd", "xHCI Host Controller"});

  // A USB adapter with a serial number and a stable name; its tty hangs off
  // the USB serial port, that off the interface, that off the device.
  UsbDevice(hc + "/usb1/1-1", "0403", "6001", {"FTDI", "FT232R USB UART", "A10KZP9B"});
  Subsystem(hc + "/usb1/1-1/1-1:1.0", "usb");
  Subsystem(hc + "/usb1/1-1/1-1:1.0/ttyUSB2", "usb-serial");
  Tty("ttyUSB2", hc + "/usb1/1-1/1-1:1.0/ttyUSB2");
  Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP9B-if00-port0", "dev/ttyUSB2");

  // One without a serial number or a maker's name: no stable name either.
  UsbDevice(hc + "/usb1/1-2", "1a86", "7523", {"", "USB Serial"});
  Subsystem(hc + "/usb1/1-2/1-2:1.0", "usb");
  Subsystem(hc + "/usb1/1-2/1-2:1.0/ttyUSB10", "usb-serial");
  Tty("ttyUSB10", hc + "/usb1/1-2/1-2:1.0/ttyUSB10");

  // A CDC-ACM device: the tty hangs off the interface itself.
  UsbDevice(hc + "/usb1/1-3", "2341", "0043",
            {"Arduino (www.arduino.cc)", "Arduino Uno", "85736323838351F0B0C1"});
  Subsystem(hc + "/usb1/1-3/1-3:1.0", "usb");
  Tty("ttyACM0", hc + "/usb1/1-3/1-3:1.0");
  Link("dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_85736323838351F0B0C1-if00",
       "dev/ttyACM0");

  // Built-in ports: one with a UART, one the kernel made without (type 0),
  // one on a PCI card, and one with no node in /dev.
  Subsystem("pnp0/00:01", "pnp");
  Subsystem("pnp0/00:01/00:01:0/00:01:0.0", "serial-base");
  Tty("ttyS0", "pnp0/00:01/00:01:0/00:01:0.0");
  File("sys/devices/pnp0/00:01/00:01:0/00:01:0.0/tty/ttyS0/type", "4");
  Subsystem("platform/serial8250", "platform");
  Tty("ttyS1", "platform/serial8250/serial8250:0/serial8250:0.1");
  File("sys/devices/platform/serial8250/serial8250:0/serial8250:0.1/tty/ttyS1/type", "0");
  Subsystem("pci0000:00/0000:00:16.3", "pci");
  File("sys/devices/pci0000:00/0000:00:16.3/vendor", "0x8086");
  File("sys/devices/pci0000:00/0000:00:16.3/device", "0xa13d");
  Tty("ttyS4", "pci0000:00/0000:00:16.3/0000:00:16.3:0/0000:00:16.3:0.0");
  File("sys/devices/pci0000:00/0000:00:16.3/0000:00:16.3:0/0000:00:16.3:0.0/tty/ttyS4/type", "4");
  Tty("ttyS5", "platform/serial8250/serial8250:0/serial8250:0.5");
  File("sys/devices/platform/serial8250/serial8250:0/serial8250:0.5/tty/ttyS5/type", "4");
  fs::remove(At("dev/ttyS5"));

  // A virtual console: in the tty class, but on no bus.
  File("sys/devices/virtual/tty/tty0/dev", "4:0");
  Link("sys/class/tty/tty0", "sys/devices/virtual/tty/tty0");
  File("dev/tty0", "");

  std::vector<std::vector<std::string>> listed;
  for (const SystemPort& port : SysfsSystemPorts(root_.string())) listed.push_back(Fields(port));
  const std::vector<std::vector<std::string>> expected = {
      {"/dev/ttyACM0", "usb", "2341", "0043", "Arduino (www.arduino.cc)", "Arduino Uno",
       "85736323838351F0B0C1",
       "/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_85736323838351F0B0C1-if00", ""},
      {"/dev/ttyS0", "built-in", "", "", "", "", "", "", ""},
      {"/dev/ttyS4", "pci", "8086", "a13d", "", "", "", "", ""},
      {"/dev/ttyUSB2", "usb", "0403", "6001", "FTDI", "FT232R USB UART", "A10KZP9B",
       "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP9B-if00-port0", ""},
      {"/dev/ttyUSB10", "usb", "1a86", "7523", "", "USB Serial", "", "", ""},
  };
  EXPECT_EQ(listed, expected);
}

TEST_F(SysfsPortsTest, NoSysfsNoPorts) {
  File("dev/ttyS0", "");
  EXPECT_TRUE(SysfsSystemPorts(root_.string()).empty());
}

}  // namespace
