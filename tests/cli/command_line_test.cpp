#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/system.h"

namespace {

struct Parsed {
  bool ok;
  CommandLine line;
  std::string error;
};

Parsed Parse(const std::vector<std::string>& args) {
  Parsed parsed;
  parsed.ok = ParseCommandLine(args, &parsed.line, &parsed.error);
  return parsed;
}

TEST(CommandLineTest, ReadsTheMessageAndTheOptionsInAnyOrder) {
  Parsed p = Parse({"HELLO", "--port=/dev/ttyUSB0", "-q", "WORLD"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.command, Command::kProgram);
  EXPECT_EQ(p.line.port, "/dev/ttyUSB0");
  EXPECT_TRUE(p.line.quiet);
  EXPECT_EQ(p.line.source, MessageSource::kLines);
  EXPECT_EQ(p.line.lines, (std::vector<std::string>{"HELLO", "WORLD"}));

  // After "--" a line may begin with a dash; "-" alone and "" are lines too.
  p = Parse({"--port", "COM3", "--", "-SALE-", "--quiet"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.lines, (std::vector<std::string>{"-SALE-", "--quiet"}));
  EXPECT_FALSE(p.line.quiet);
  p = Parse({"--port", "x", "-", ""});
  EXPECT_EQ(p.line.lines, (std::vector<std::string>{"-", ""}));

  p = Parse({"-n", "--text", "A\\r\\nB"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.command, Command::kDryRun);  // needs no port
  EXPECT_EQ(p.line.source, MessageSource::kText);
  EXPECT_EQ(p.line.text, "A\\r\\nB");

  // --file, --version, --list-ports and every refusal are korvel_program_test's.
  EXPECT_FALSE(Parse({"--port", "x", "--help", "--frob"}).ok) << "refused, help or not";
  EXPECT_EQ(Parse({"HELLO", "--help"}).line.command, Command::kHelp);
}

TEST(DeviceForPortTest, NamesTheSystemsDevice) {
  std::string device, refusal;
#ifdef _WIN32
  // Every COM port by its device name: COM10 and up have no other.
  ASSERT_TRUE(DeviceForPort("COM3", &device, &refusal)) << refusal;
  EXPECT_EQ(device, "\\\\.\\COM3");
  ASSERT_TRUE(DeviceForPort("com12", &device, &refusal)) << refusal;
  EXPECT_EQ(device, "\\\\.\\COM12");
  for (const char* wrong : {"COM", "COM0", "COM1X", "LPT1", "/dev/ttyS0", "COM12345"}) {
    EXPECT_FALSE(DeviceForPort(wrong, &device, &refusal)) << wrong;
    EXPECT_NE(refusal.find(wrong), std::string::npos) << refusal;
  }
#else
  ASSERT_TRUE(DeviceForPort("/dev/serial/by-id/usb-x", &device, &refusal)) << refusal;
  EXPECT_EQ(device, "/dev/serial/by-id/usb-x");
  EXPECT_FALSE(DeviceForPort("", &device, &refusal));
#endif
}

}  // namespace
