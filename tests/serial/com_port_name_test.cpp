// Windows serial ports' names, as a port button or --port takes them.
#include "serial/com_port_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ComPortNameTest, AnyComNumberInAnyCaseShownAsWindowsShowsIt) {
  const struct {
    const char* text;
    const char* name;
  } cases[] = {{"COM1", "COM1"}, {"com5", "COM5"}, {"Com10", "COM10"}, {"cOM255", "COM255"},
               {"COM9999", "COM9999"}};
  for (const auto& c : cases) {
    std::string name;
    EXPECT_TRUE(ComPortName(c.text, &name)) << c.text;
    EXPECT_EQ(name, c.name);
  }
}

TEST(ComPortNameTest, AnythingElseIsNoPortName) {
  for (const char* text : {"", "COM", "COM0", "COM05", "COMX", "COM1 ", " COM1", "COM-1", "LPT1",
                           "COM10000", "\\\\.\\COM3", "/dev/ttyS0", "COM1a"}) {
    std::string name = "kept";
    EXPECT_FALSE(ComPortName(text, &name)) << text;
    EXPECT_EQ(name, "kept");
  }
}

TEST(ComPortNameTest, EveryPortIsOpenedByItsDeviceName) {
  EXPECT_EQ(ComPortDevice("COM5"), "\\\\.\\COM5");
  EXPECT_EQ(ComPortDevice("COM10"), "\\\\.\\COM10");
}

}  // namespace
