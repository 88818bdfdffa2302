#include "cli/command_line.h"

namespace {

// Takes the value of an option that needs one: "--port X" or "--port=X".
bool TakeValue(const std::vector<std::string>& args, std::size_t* i, const std::string& name,
               bool has_inline, const std::string& inline_value, std::string* value,
               std::string* error) {
  if (has_inline) {
    *value = inline_value;
  } else if (*i + 1 < args.size()) {
    *value = args[++*i];
  } else {
    *error = name + " needs a value";
    return false;
  }
  return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error) {
  bool dry_run = false, list_ports = false, help = false, version = false;
  bool has_port = false, has_file = false, has_text = false, options_ended = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.empty() || arg[0] != '-' || arg == "-") {
      line->lines.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;  // what follows is message lines, even "-x"
      continue;
    }
    std::string name = arg, inline_value;
    const std::size_t equals = arg.find('=');
    const bool has_inline = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    if (has_inline) {
      name = arg.substr(0, equals);
      inline_value = arg.substr(equals + 1);
    }
    const bool takes_value = name == "--port" || name == "--file" || name == "--text";
    if (has_inline && !takes_value) {
      *error = name + " takes no value";
      return false;
    }

    std::string* value = nullptr;
    bool* given = nullptr;
    if (name == "--port") {
      value = &line->port;
      given = &has_port;
    } else if (name == "--file") {
      value = &line->file;
      given = &has_file;
    } else if (name == "--text") {
      value = &line->text;
      given = &has_text;
    } else if (name == "--quiet" || name == "-q") {
      line->quiet = true;
    } else if (name == "--dry-run" || name == "-n") {
      dry_run = true;
    } else if (name == "--list-ports") {
      list_ports = true;
    } else if (name == "--help" || name == "-h") {
      help = true;
    } else if (name == "--version") {
      version = true;
    } else {
      *error = "unknown option '" + arg + "'";
      return false;
    }
    if (value != nullptr) {
      if (*given) {
        *error = name + " is given twice";
        return false;
      }
      if (!TakeValue(args, &i, name, has_inline, inline_value, value, error)) return false;
      if (value->empty()) {
        *error = name + " needs a value";
        return false;
      }
      *given = true;
    }
  }

  if (help || version) {
    line->command = help ? Command::kHelp : Command::kVersion;
    return true;
  }
  const bool has_lines = !line->lines.empty();
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
       korvel-program --list-ports | --help | --version

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
  --list-ports   the serial ports on this computer
  -h, --help     this text
  --version      the program's version

A message that does not fit, or a character that cannot be typed, is refused
before the port is opened: nothing is sent, nothing is cut.

Exit status: 0 both frames sent; 2 a usage mistake, or a message or file
refused; 3 the port could not be opened or went away; 4 the unit did not
answer, or a wait ran out (3 s each).
)";
}
