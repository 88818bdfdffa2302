// korvel-program: writes a banner into a KORVEL unit from the command line.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/dry_run.h"
#include "cli/message_text.h"
#include "cli/program_units.h"
#include "cli/system.h"
#include "unitrun/exit_status.h"
#include "unitrun/port_description.h"
#include "unitrun/ports_to_program.h"
#include "unitrun/system_ports.h"

namespace {

int Refuse(const std::string& why) {
  std::fprintf(stderr, "korvel-program: %s\n", why.c_str());
  return kExitRefused;
}

int ListPorts(bool json) {
  const std::vector<SystemPort> ports = SystemPorts();
  UseUtf8Output();  // a port's maker and product come as UTF-8
  if (ports.empty()) std::fprintf(stderr, "korvel-program: no serial ports were found here\n");
  std::size_t name_width = 0;
  for (const SystemPort& port : ports) name_width = std::max(name_width, port.name.size());
  for (const SystemPort& port : ports) {
    const std::string line =
        json ? PortDescriptionJson(port) : PortDescriptionLine(port, name_width);
    std::printf("%s\n", line.c_str());
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &line, &error)) {
    return Refuse(error + "\nTry 'korvel-program --help'.");
  }
  switch (line.command) {
    case Command::kHelp:
      std::fputs(UsageText(), stdout);
      return kExitOk;
    case Command::kVersion:
      std::printf("korvel-program %s\n", KORVEL_VERSION);
      return kExitOk;
    case Command::kListPorts:
      return ListPorts(line.json);
    case Command::kDryRun:
    case Command::kProgram:
      break;
  }

  // Everything is checked before a port is opened: a refusal sends nothing.
  Message message;
  if (!MessageText(line, &message, &error)) return Refuse(error);
  std::vector<PortToProgram> ports;
  if (line.command == Command::kProgram && !PortsToProgram(line.ports, &ports, &error)) {
    return Refuse(error);
  }
  UseUtf8Output();
  if (!message.warnings.empty()) {
    for (const std::string& warning : message.warnings) {
      std::fprintf(stderr, "korvel-program: %s: %s\n", line.strict ? "refused" : "warning",
                   warning.c_str());
    }
    if (line.strict) {
      return Refuse("--strict: the message is not sent as it will not show as written");
    }
    std::fprintf(stderr, "korvel-program: the unit will show:\n%s",
                 DisplayText(message.text).c_str());
  }
  if (line.command == Command::kDryRun) {
    std::fputs((line.json ? DryRunJson(message.text) : DryRunText(message.text)).c_str(), stdout);
    return kExitOk;
  }
  return ProgramUnits(ports, message.text, line.quiet, line.json);
}
