#include "unitrun/sysfs_ports.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// A sysfs attribute's first line without its line end and trailing spaces;
// empty when there is no such attribute.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

fs::path RealPath(const fs::path& path) {
  std::error_code error;
  const fs::path real = fs::canonical(path, error);
  return error ? fs::path() : real;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    names.push_back(entry->path().filename().string());
  }
  return names;
}

// ttyUSB2 before ttyUSB10.
bool NaturalOrder(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    const std::string number = name.substr(digits);
    return std::make_tuple(name.substr(0, digits), number.size(), number);
  };
  return split(a) < split(b);
}

// What the device behind a tty is: the nearest USB device or PCI function
// above it in sysfs' tree, else a port of the machine itself. A USB serial
// adapter's tty hangs off its interface, the interface off the device; the
// USB host controller above them is on PCI, but the USB device comes first.
void DescribeDevice(const fs::path& device, const fs::path& sys, SystemPort* port) {
  for (fs::path dir = device; dir != sys && dir.has_relative_path(); dir = dir.parent_path()) {
    if (Exists(dir / "idVendor") && Exists(dir / "idProduct")) {
      port->kind = "usb";
      port->vendor_id = Attribute(dir / "idVendor");
      port->product_id = Attribute(dir / "idProduct");
      port->manufacturer = Attribute(dir / "manufacturer");
      port->product = Attribute(dir / "product");
      port->serial_number = Attribute(dir / "serial");
      return;
    }
    std::error_code error;
    if (fs::read_symlink(dir / "subsystem", error).filename() == "pci") {
      // "0x1415": the number without its prefix, as USB's are written.
      const auto id = [](const std::string& hex) {
        return hex.rfind("0x", 0) == 0 ? hex.substr(2) : hex;
      };
      port->kind = "pci";
      port->vendor_id = id(Attribute(dir / "vendor"));
      port->product_id = id(Attribute(dir / "device"));
      return;
    }
  }
  port->kind = "built-in";
}

}  // namespace

std::vector<SystemPort> SysfsSystemPorts(const std::string& root) {
  const fs::path top = root.empty() ? fs::path("/") : fs::path(root);
  const fs::path sys = RealPath(top / "sys");
  const fs::path dev = top / "dev";

  // Which device each stable name leads to; the first name in order when
  // there are more.
  std::map<fs::path, std::string> by_id;
  std::vector<std::string> links = Names(dev / "serial" / "by-id");
  std::sort(links.begin(), links.end());
  for (const std::string& link : links) {
    by_id.emplace(RealPath(dev / "serial" / "by-id" / link), "/dev/serial/by-id/" + link);
  }

  std::vector<std::string> names = Names(top / "sys" / "class" / "tty");
  std::sort(names.begin(), names.end(), NaturalOrder);
  std::vector<SystemPort> ports;
  for (const std::string& name : names) {
    const fs::path tty = top / "sys" / "class" / "tty" / name;
    // Consoles, pseudo-terminals and the like have no device on a bus.
    const fs::path device = RealPath(tty / "device");
    if (device.empty()) continue;
    // The kernel makes ttyS0..ttySn whether a UART is behind them or not;
    // its serial core says which it found one for (type 0: none).
    if (Attribute(tty / "type") == "0") continue;
    const fs::path node = RealPath(dev / name);
    if (node.empty()) continue;

    SystemPort port;
    port.name = "/dev/" + name;
    DescribeDevice(device, sys, &port);
    const auto link = by_id.find(node);
    if (link != by_id.end()) port.by_id = link->second;
    ports.push_back(port);
  }
  return ports;
}

std::vector<SystemPort> SystemPorts() { return SysfsSystemPorts(""); }
