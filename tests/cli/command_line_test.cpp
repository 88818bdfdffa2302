#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unitrun/port_system.h"

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
  EXPECT_EQ(p.line.ports, (std::vector<std::string>{"/dev/ttyUSB0"}));
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

  p = Parse({"-n", "--strict", "--lines", "-"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.source, MessageSource::kLinesFile);
  EXPECT_EQ(p.line.lines_file, "-");
  EXPECT_TRUE(p.line.strict);

  p = Parse({"--file", "tonight.txt", "--port", "COM3"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.source, MessageSource::kFile);
  EXPECT_EQ(p.line.file, "tonight.txt");

  // A value is the next argument whatever it looks like.
  p = Parse({"--dry-run", "--text", "-SALE-"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.text, "-SALE-");
}

// Each case is refused with the message given.
void ExpectRefused(const std::vector<std::vector<std::string>>& cases, const std::string& said) {
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    const Parsed p = Parse(args);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, said);
  }
}

TEST(CommandLineTest, ListPortsTakesNoPortAndNoMessage) {
  ExpectRefused({{"--list-ports", "HELLO"},
                 {"--list-ports", "--", "-"},
                 {"--list-ports", "--file", "tonight.txt"},
                 {"--list-ports", "--text", "HI"},
                 {"--list-ports", "--lines", "-"},
                 {"--list-ports", "--dry-run"},
                 {"-n", "--list-ports"},
                 {"--port", "COM1", "--list-ports"}},
                "--list-ports takes no port and no message");

  Parsed p = Parse({"--list-ports", "-q"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.command, Command::kListPorts);
  EXPECT_FALSE(p.line.json);
  p = Parse({"--json", "--list-ports"});  // the list for scripts
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.command, Command::kListPorts);
  EXPECT_TRUE(p.line.json);
}

TEST(CommandLineTest, TakesTheMessageOneWayOnly) {
  ExpectRefused({{"--port", "x", "HELLO", "--file", "tonight.txt"},
                 {"--port", "x", "--text", "HI", "HELLO"},
                 {"--port", "x", "--file", "tonight.txt", "--text", "HI"},
                 {"-n", "--text", "HI", "--", "-"},
                 {"-n", "--lines", "-", "HI"},
                 {"-n", "--lines", "a.txt", "--file", "b.txt"}},
                "give the message one way only: LINE1 [LINE2], --lines FILE, --file FILE or "
                "--text TEXT");
}

TEST(CommandLineTest, NeedsAPortUnlessADryRun) {
  ExpectRefused({{}, {"HELLO"}, {"--file", "tonight.txt"}, {"-q", "--text", "HI"}},
                "no port given: say which with --port DEVICE (--list-ports shows them)");

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"-n"}, {"--dry-run", "--file", "tonight.txt"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    const Parsed p = Parse(args);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.line.command, Command::kDryRun);
  }
}

TEST(CommandLineTest, TakesTheMessageOptionsOnceAndEachPortGiven) {
  for (const std::string name : {"--file", "--text", "--lines"}) {
    ExpectRefused({{name, "a", name, "b"}, {name + "=a", name + "=b"}, {name, "a", name}},
                  name + " is given twice");
  }
  // Saying a flag again changes nothing.
  EXPECT_TRUE(Parse({"-q", "--quiet", "-n", "--dry-run", "-n", "--json", "--json"}).ok);

  // Several units at once: every port, in the order given (the same one
  // twice is for the program to refuse, once it knows what each leads to).
  const Parsed p = Parse({"--port", "/dev/ttyUSB0", "--json", "--port=socket://10.0.0.7:3001",
                          "HI", "--port", "/dev/ttyUSB0"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.ports, (std::vector<std::string>{"/dev/ttyUSB0", "socket://10.0.0.7:3001",
                                                    "/dev/ttyUSB0"}));
  EXPECT_TRUE(p.line.json);
  ExpectRefused({{"--port", "a", "--port"}, {"--port", "a", "--port="}}, "--port needs a value");
}

TEST(CommandLineTest, SaysWhatIsWrongWithAnOption) {
  ExpectRefused({{"--port"}, {"--port="}, {"--port", ""}}, "--port needs a value");
  ExpectRefused({{"-n", "--file"}, {"-n", "--file="}}, "--file needs a value");
  ExpectRefused({{"-n", "--text"}, {"-n", "--text", ""}}, "--text needs a value");
  ExpectRefused({{"--port", "x", "--quiet=yes"}}, "--quiet takes no value");
  ExpectRefused({{"--dry-run="}}, "--dry-run takes no value");
  ExpectRefused({{"--list-ports=all"}}, "--list-ports takes no value");
  ExpectRefused({{"--help=me"}}, "--help takes no value");
  ExpectRefused({{"--version=1"}}, "--version takes no value");
  ExpectRefused({{"--port", "x", "--frob"}}, "unknown option '--frob'");
  ExpectRefused({{"--frob=1"}}, "unknown option '--frob=1'");
  ExpectRefused({{"--PORT", "x"}}, "unknown option '--PORT'");
  // What is no long option may be a line that begins with a dash.
  const std::string lead = "; a line that begins with '-' goes after --, as in: ";
  ExpectRefused({{"-x", "HELLO"}}, "unknown option '-x'" + lead + "korvel-program --port PORT -- '-x'");
  ExpectRefused({{"-n", "-50% OFF"}},
                "unknown option '-50% OFF'" + lead + "korvel-program --port PORT -- '-50% OFF'");
  ExpectRefused({{"-nq"}}, "unknown option '-nq'" + lead + "korvel-program --port PORT -- '-nq'");
  ExpectRefused({{"-q=1"}}, "unknown option '-q=1'" + lead + "korvel-program --port PORT -- '-q=1'");
}

TEST(CommandLineTest, HelpAndVersionOutweighEveryConflictButNoMistake) {
  EXPECT_EQ(Parse({"HELLO", "--help"}).line.command, Command::kHelp);
  EXPECT_EQ(Parse({"--list-ports", "HELLO", "-h"}).line.command, Command::kHelp);
  EXPECT_EQ(Parse({"--version", "--help"}).line.command, Command::kHelp);
  const Parsed p = Parse({"--file", "a", "--text", "b", "--version"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.line.command, Command::kVersion);

  EXPECT_FALSE(Parse({"--port", "x", "--help", "--frob"}).ok) << "refused, help or not";
  EXPECT_FALSE(Parse({"--version", "--port"}).ok);
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
