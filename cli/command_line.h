#pragma once
#include <string>
#include <vector>

// What korvel-program is asked to do.
enum class Command { kProgram, kDryRun, kListPorts, kHelp, kVersion };

// Where the message comes from; at most one way per call.
enum class MessageSource { kLines, kFile, kText, kLinesFile };

struct CommandLine {
  Command command = Command::kProgram;
  std::vector<std::string> ports;  // as given to --port, in order; each gets the message
  bool quiet = false;
  bool json = false;    // a JSON object per port on stdout
  bool strict = false;  // a message that will not show as written is refused
  MessageSource source = MessageSource::kLines;
  std::vector<std::string> lines;  // the arguments that are no option, as typed
  std::string file;                // --file
  std::string text;                // --text, escapes not yet read
  std::string lines_file;          // --lines: a plain text file's lines, "-" standard input
};

// Reads the arguments after the program's name. On a mistake returns false
// and says what was wrong in error. The message itself is not looked at yet.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error);

const char* UsageText();
