#pragma once
#include <string>

// Which COM port each of the utility's two port buttons leads to.
struct PortChoice {
  std::string port1 = "COM1";
  std::string port2 = "COM2";

  bool operator==(const PortChoice& other) const {
    return port1 == other.port1 && port2 == other.port2;
  }
  bool operator!=(const PortChoice& other) const { return !(*this == other); }
};

// The settings file's text as Windows reads an .ini file: sections in
// brackets, "key=value" lines, names in any case, blanks around them, ";"
// comments. Port1 and Port2 of [Ports] are taken where each is a COMn and the
// two differ; anything else leaves the default of the key, or of both.
PortChoice PortChoiceFromIni(const std::string& text);

// The settings file's text with the choice in it: Port1 and Port2 of [Ports]
// set, where reading takes them, and every other line as it was; lines end in
// CR LF.
std::string IniWithPortChoice(const std::string& text, const PortChoice& choice);
