// What korvel.ini's text makes of the two port buttons, and what writing a
// choice into it keeps.
#include "settings/port_choice.h"

#include <gtest/gtest.h>

#include <string>

namespace {

PortChoice Choice(const std::string& port1, const std::string& port2) {
  PortChoice choice;
  choice.port1 = port1;
  choice.port2 = port2;
  return choice;
}

std::string Shown(const PortChoice& choice) { return choice.port1 + "," + choice.port2; }

TEST(PortChoiceFromIniTest, TakesPortsWrittenAsWindowsReadsAnIniFile) {
  const struct {
    const char* text;
    const char* ports;
  } cases[] = {
      {"[Ports]\r\nPort1=COM5\r\nPort2=COM12\r\n", "COM5,COM12"},
      // Names in any case, blanks around them, LF alone, no last line end,
      // a byte-order mark, comments, quotes, other sections and keys.
      {"\xEF\xBB\xBF; kept by KORVEL\n[Other]\nPort1=COM9\n  [ ports ]  \n"
       "  port2 =  com10  \nSpeed=9600\n#Port1=COM8\nPORT1=\"COM3\"",
       "COM3,COM10"},
      {"[Ports]\r\nPort2=COM200\r\n", "COM1,COM200"},
      // The first of a key is the one taken, also from a later [Ports].
      {"[Ports]\nPort1=COM4\nPort1=COM6\n[Other]\n[Ports]\nPort2=COM7\nPort2=COM8\n",
       "COM4,COM7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Shown(PortChoiceFromIni(c.text)), c.ports);
  }
}

TEST(PortChoiceFromIniTest, WhatIsNoPortLeavesTheDefaults) {
  const struct {
    std::string text;
    const char* ports;
  } cases[] = {
      {"", "COM1,COM2"},
      {std::string("\x00\xFF\x13[Ports\x00]Port1=COM5\n\x89PNG\r\n", 20), "COM1,COM2"},
      {"Port1=COM5\nPort2=COM6\n", "COM1,COM2"},  // in no section
      {"[Ports]\nPort1\nPort2 COM6\n=COM7\n", "COM1,COM2"},
      // Each key that is no COM port keeps its own default.
      {"[Ports]\nPort1=COMX\nPort2=COM6\n", "COM1,COM6"},
      {"[Ports]\nPort1=COM5\nPort2=LPT1\n", "COM5,COM2"},
      {"[Ports]\nPort1=COM0\nPort2=COM07\n", "COM1,COM2"},
      {"[Ports]\nPort1=\\\\.\\COM5\nPort2=/dev/ttyUSB0\n", "COM1,COM2"},
      {"[Ports]\nPort1=COM10000\nPort2=\n", "COM1,COM2"},
      // Both buttons on one port would hold it from each other.
      {"[Ports]\nPort1=COM5\nPort2=com5\n", "COM1,COM2"},
      {"[Ports]\nPort1=COM2\n", "COM1,COM2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Shown(PortChoiceFromIni(c.text)), c.ports);
  }
}

TEST(IniWithPortChoiceTest, ANewFileHoldsThePortsSection) {
  EXPECT_EQ(IniWithPortChoice("", Choice("COM5", "COM2")),
            "[Ports]\r\nPort1=COM5\r\nPort2=COM2\r\n");
}

TEST(IniWithPortChoiceTest, KeepsEveryOtherLineAndSetsTheKeysWhereTheyAreRead) {
  const std::string text =
      "\xEF\xBB\xBF; kept by KORVEL\n[Other]\nPort1=COM9\n\n[PORTS]\nport2 = COM3\n"
      "Speed=9600\n[Last]\nName=x";
  EXPECT_EQ(IniWithPortChoice(text, Choice("COM12", "COM4")),
            "\xEF\xBB\xBF; kept by KORVEL\r\n[Other]\r\nPort1=COM9\r\n\r\n[PORTS]\r\n"
            "Port2=COM4\r\nSpeed=9600\r\nPort1=COM12\r\n[Last]\r\nName=x\r\n");
  EXPECT_EQ(IniWithPortChoice("[Other]\r\nName=x\r\n", Choice("COM3", "COM4")),
            "[Other]\r\nName=x\r\n\r\n[Ports]\r\nPort1=COM3\r\nPort2=COM4\r\n");
}

TEST(IniWithPortChoiceTest, WhatIsWrittenIsReadBackWhateverTheFileHeldBefore) {
  const std::string before[] = {
      "",
      "[Ports]\nPort1=COMX\nPort2=LPT1\n",
      "[Ports]\nPort1=COM4\nPort1=COM6\n[Other]\n[Ports]\nPort2=COM7\nPort2=COM8",
      "Port1=COM5\n[Other]\nPort2=COM6",
      std::string("\x00\xFF\x13[Ports\x00]Port1=COM5\n\x89PNG\r\n", 20),
      "[Ports]\r\nPort1=COM5\r\nPort2=COM6\r\n",
  };
  for (const std::string& text : before) {
    SCOPED_TRACE(text);
    for (const PortChoice& choice :
         {Choice("COM5", "COM2"), Choice("COM2", "COM1"), Choice("COM10", "COM255")}) {
      const std::string written = IniWithPortChoice(text, choice);
      EXPECT_EQ(Shown(PortChoiceFromIni(written)), Shown(choice));
      // Written again, nothing changes.
      EXPECT_EQ(IniWithPortChoice(written, choice), written);
    }
  }
}

}  // namespace
