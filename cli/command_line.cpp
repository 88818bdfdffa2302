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
      Once(Value("--lines", &line->lines_file)),
      Flag("--quiet", "-q", &line->quiet),
      Flag("--json", "", &line->json),
      Flag("--strict", "", &line->strict),
      Flag("--dry-run", "-n", &dry_run),
      Flag("--list-ports", "", &list_ports),
      Flag("--help", "-h", &help),
      Flag("--version", "", &version),
  };
  std::string unknown;
  if (!ReadOptions(args, options, &line->lines, error, &unknown)) {
    // An unknown option that is no misspelt long one may be a line that
    // begins with a dash.
    if (!unknown.empty() && unknown.rfind("--", 0) != 0) {
      *error += "; a line that begins with '-' goes after --, as in: korvel-program --port "
                "PORT -- '" + unknown + "'";
    }
    return false;
  }

  if (help || version) {
    line->command = help ? Command::kHelp : Command::kVersion;
    return true;
  }
  // A value option is given exactly when it has a value: an empty one is refused.
  const bool has_port = !line->ports.empty(), has_file = !line->file.empty(),
             has_text = !line->text.empty(), has_lines = !line->lines.empty(),
             has_lines_file = !line->lines_file.empty();
  if (list_ports) {
    if (has_port || has_file || has_text || has_lines || has_lines_file || dry_run) {
      *error = "--list-ports takes no port and no message";
      return false;
    }
    line->command = Command::kListPorts;
    return true;
  }
  if (has_lines + has_file + has_text + has_lines_file > 1) {
    *error = "give the message one way only: LINE1 [LINE2], --lines FILE, --file FILE or --text "
             "TEXT";
    return false;
  }
  line->source = has_file         ? MessageSource::kFile
                 : has_text       ? MessageSource::kText
                 : has_lines_file ? MessageSource::kLinesFile
                                  : MessageSource::kLines;
  line->command = dry_run ? Command::kDryRun : Command::kProgram;
  if (!dry_run && !has_port) {
    *error = "no port given: say which with --port DEVICE (--list-ports shows them)";
    return false;
  }
  return true;
}

const char* UsageText() {
  return R"(Usage: korvel-program --port PORT [--port PORT]... [OPTION]... [LINE1 [LINE2]]
       korvel-program --port PORT [--port PORT]... [OPTION]... --lines FILE
       korvel-program --port PORT [--port PORT]... [OPTION]... --file FILE
       korvel-program --port PORT [--port PORT]... [OPTION]... --text TEXT
       korvel-program --list-ports [--json] | --help | --version

Writes a two-line banner into a KORVEL display unit on a serial port: a blank
frame, a short pause, then the message frame, each byte answered by the unit.

  --port PORT    the unit's serial port: a device such as /dev/ttyUSB0 on
                 Linux, COMn (COM1, COM2, COM3, ...) on Windows; or a serial
                 server on the network: socket://HOST:PORT (raw TCP, the
                 server sets up the line) or rfc2217://HOST:PORT (Telnet's
                 COM-PORT-OPTION, this program sets the line). HOST is a name,
                 an IPv4 address or an IPv6 address in brackets. Give --port
                 once per unit: all of them are programmed at the same time.

The message, one way (with none the display is cleared):
  LINE1 [LINE2]  as the keyboard would type it: up to two lines of at most 28
                 characters each, printable ASCII (space to ~); a line that
                 begins with - goes after --
  --lines FILE   the lines of a plain text file (- for standard input), read
                 as LINE1 and LINE2 are: any line end, a last one and a UTF-8
                 byte-order mark are no part of them
  --file FILE    a banner file made for the unit, byte for byte: its first 58
                 bytes, or up to and including its first SUB (0x1A); where it
                 will not show as written, a warning says where, and the two
                 lines the unit will show are drawn
  --text TEXT    exact bytes, at most 58, with the escapes \r \n \\ and \xHH;
                 warned of where they will not show as written
  --strict       refuse a message that would be warned of: nothing is sent

  -n, --dry-run  open nothing and send nothing: show both frames in hex and
                 the two lines the unit will show
  -q, --quiet    say nothing but errors
  --json         a JSON object a line on stdout, for scripts: each port's
                 result (port, result, status, bytes_answered, seconds,
                 message); with --dry-run both frames and the display; with
                 --list-ports each port found
  --list-ports   the serial ports on this computer and what each is: USB ids,
                 maker, product, serial number, its /dev/serial/by-id name
  -h, --help     this text
  --version      the program's version

Lines that do not fit, and characters that cannot be typed, are refused before
any port is opened: nothing is sent, nothing is cut. Result lines, warnings
and the progress go to standard error; data (--dry-run, --list-ports, --json)
to standard output.

Exit status, for each port: 0 both frames sent; 3 the port could not be opened
or went away; 4 the unit did not answer, or a wait ran out (3 s each); 130
stopped by Ctrl-C. With several ports: 0 only when every port was programmed,
otherwise the highest of the ports' statuses. 2: a usage mistake, or a message
or file refused, and nothing was sent to any port.
)";
}
