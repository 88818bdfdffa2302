#include "unitrun/port_description.h"

#include <gtest/gtest.h>

namespace {

SystemPort Adapter() {
  SystemPort port;
  port.name = "/dev/ttyUSB0";
  port.kind = "usb";
  port.vendor_id = "0403";
  port.product_id = "6001";
  port.manufacturer = "FTDI";
  port.product = "FT232R USB UART";
  port.serial_number = "A10KZP9B";
  port.by_id = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP9B-if00-port0";
  return port;
}

TEST(ListedPortTest, ALineSaysWhatThePortIsAsFarAsTheSystemSays) {
  EXPECT_EQ(PortDescriptionLine(Adapter(), 12),
            "/dev/ttyUSB0  USB 0403:6001, FTDI FT232R USB UART, serial number A10KZP9B, "
            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP9B-if00-port0");

  SystemPort bare = Adapter();
  bare.manufacturer = bare.serial_number = bare.by_id = "";
  EXPECT_EQ(PortDescriptionLine(bare, 12), "/dev/ttyUSB0  USB 0403:6001, FT232R USB UART");

  SystemPort card;
  card.name = "/dev/ttyS4";
  card.kind = "pci";
  card.vendor_id = "8086";
  card.product_id = "a13d";
  EXPECT_EQ(PortDescriptionLine(card, 12), "/dev/ttyS4    PCI 8086:a13d");

  // Names line up; a name longer than the column pushes its line out.
  SystemPort builtin;
  builtin.name = "/dev/ttyS0";
  builtin.kind = "built-in";
  EXPECT_EQ(PortDescriptionLine(builtin, 12), "/dev/ttyS0    built-in");
  EXPECT_EQ(PortDescriptionLine(builtin, 4), "/dev/ttyS0  built-in");

  SystemPort com;
  com.name = "COM3";
  com.description = "USB Serial Port (COM3)";
  EXPECT_EQ(PortDescriptionLine(com, 4), "COM3  USB Serial Port (COM3)");
  com.description = "";
  EXPECT_EQ(PortDescriptionLine(com, 6), "COM3");
}

TEST(ListedPortTest, JsonHasEveryFieldNullWhereUnknownAndQuotesWhatItMust) {
  EXPECT_EQ(PortDescriptionJson(Adapter()),
            "{\"port\":\"/dev/ttyUSB0\",\"kind\":\"usb\",\"vendor_id\":\"0403\","
            "\"product_id\":\"6001\",\"manufacturer\":\"FTDI\",\"product\":\"FT232R USB UART\","
            "\"serial_number\":\"A10KZP9B\","
            "\"by_id\":\"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP9B-if00-port0\","
            "\"description\":null}");

  SystemPort com;
  com.name = "COM3";
  com.description = "Port \"A\"\\B\n\x01 caf\xC3\xA9";
  EXPECT_EQ(PortDescriptionJson(com),
            "{\"port\":\"COM3\",\"kind\":null,\"vendor_id\":null,\"product_id\":null,"
            "\"manufacturer\":null,\"product\":null,\"serial_number\":null,\"by_id\":null,"
            "\"description\":\"Port \\\"A\\\"\\\\B\\n\\u0001 caf\xC3\xA9\"}");
}

}  // namespace
