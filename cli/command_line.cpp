#include "cli/command_line.h"

#include "options/option_reader.h"

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error) {
  bool dry_run = false, list_ports = false, help = false, version = false;
  const std::vector<Option> options = {
      Value("--port", [line](const std::string& port, std::string* complaint) {
        if (port.empty()) {
          *complaint = "needs a value";
          return false;
        }
        line->ports.push_back(port);
        return true;
      }),
      Once(Value("--file", &line->file)),
      Once(Value("--text", &line->text)),
      Flag("--quiet", "-q", &line->quiet),
      Flag("--json", "", &line->json),
      Flag("--dry-run", "-n", &dry_run),
      Flag("--list-ports", "", &list_ports),
      Flag("--help", "-h", &help),
      Flag("--version", "", &version),
  };
  if (!ReadOptions(args, options, &line->lines, error)) return false;

  if (help || version) {
    line->command = help ? Command::kHelp : Command::kVersion;
    return true;
  }
  // A value option is given exactly when it has a value: an empty one is refused.
  const bool has_port = !line->ports.empty(), has_file = !line->file.empty(),
             has_text = !line->text.empty(), has_lines = !line->lines.empty();
  if (list_ports) {
    if (has_port || has_file || has_text || has_lines || dry_run) {
      *error = "--list-ports takes no port and no message";
      return false;
    }
    line->command = Command::kListPorts;
    return true;
  }
  if (has_lines + has_file + has_text > 1) {
    *error = "give the message one way only: LINE1 [LINE2], --file FILE or --text TEXT";
    return false;
  }
  line->source = has_file ? MessageSource::kFile
                 : has_text ? MessageSource::kText
                            : MessageSource::kLines;
  line->command = dry_run ? Command::kDryRun : Command::kProgram;
  if (!dry_run && !has_port) {
    *error = "no port given: say which with --port DEVICE (--list-ports shows them)";
    return false;
  }
  return true;
}

const char* UsageText() {
  return R"(Usage: korvel-program --port DEVICE [--quiet] [--dry-run] [LINE1 [LINE2]]
       korvel-program --port DEVICE [--quiet] [--dry-run] --file FILE
       korvel-program --port DEVICE [--quiet] [--dry-run] --text TEXT
       korvel-program --list-ports [--json] | --help | --version

Writes a two-line banner into a KORVEL display unit on a serial port: a blank
frame, a short pause, then the message frame, each byte answered by the unit.

  --port DEVICE  the serial port: a device such as /dev/ttyUSB0 on Linux,
                 COMn (COM1, COM2, COM3, ...) on Windows
  LINE1 [LINE2]  the message as the keyboard would type it: up to two lines of
                 at most 28 characters each, printable ASCII (space to ~)
  --file FILE    the message from a banner file: its first 58 bytes, or up to
                 and including its first SUB (0x1A)
  --text TEXT    the message's exact bytes, at most 58, with the escapes
                 \r \n \\ and \xHH, for a banner that needs other bytes
  With no message the display is cleared.

  -n, --dry-run  open nothing and send nothing: show both frames in hex and
                 the two lines the unit will show
  -q, --quiet    say nothing but errors
  --list-ports   the serial ports on this computer and what each is: USB ids,
                 maker, product, serial number, its /dev/serial/by-id name
  --json         a JSON object a line on stdout, for scripts: each port's
                 result, or with --list-ports each port found
  -h, --help     this text
  --version      the program's version

A message that does not fit, or a character that cannot be typed, is refused
before the port is opened: nothing is sent, nothing is cut.

Exit status: 0 both frames sent; 2 a usage mistake, or a message or file
refused; 3 the port could not be opened or went away; 4 the unit did not
answer, or a wait ran out (3 s each).
)";
}
