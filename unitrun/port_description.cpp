#include "unitrun/port_description.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "unitrun/json_string.h"

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Joined(const std::vector<std::string>& parts, const char* between) {
  std::string out;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!out.empty()) out += between;
    out += part;
  }
  return out;
}

std::string JsonValue(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

}  // namespace

std::string PortDescriptionLine(const SystemPort& port, std::size_t name_width) {
  // "USB 0403:6001", "PCI 1415:c158", "built-in".
  std::string kind = port.kind;
  if (!port.vendor_id.empty()) kind = Upper(kind) + " " + port.vendor_id + ":" + port.product_id;
  const std::string what =
      Joined({kind, Joined({port.manufacturer, port.product}, " "),
              port.serial_number.empty() ? "" : "serial number " + port.serial_number,
              port.by_id, port.description},
             ", ");
  std::string line = port.name;
  if (!what.empty()) {
    line.resize(std::max(line.size(), name_width), ' ');
    line += "  " + what;
  }
  return line;
}

std::string PortDescriptionJson(const SystemPort& port) {
  return "{\"port\":" + JsonString(port.name) + ",\"kind\":" + JsonValue(port.kind) +
         ",\"vendor_id\":" + JsonValue(port.vendor_id) +
         ",\"product_id\":" + JsonValue(port.product_id) +
         ",\"manufacturer\":" + JsonValue(port.manufacturer) +
         ",\"product\":" + JsonValue(port.product) +
         ",\"serial_number\":" + JsonValue(port.serial_number) +
         ",\"by_id\":" + JsonValue(port.by_id) + ",\"description\":" + JsonValue(port.description) +
         "}";
}
