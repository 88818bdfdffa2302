#pragma once
#include <string>
#include <vector>

#include "cli/command_line.h"

// A message as the command line gives it, and where it will not show on the
// unit as it was written.
struct Message {
  std::string text;
  std::vector<std::string> warnings;  // each naming where: "t.txt: line 2, column 11: ..."
};

// The message text the command line gives, by its source:
// - lines, as arguments or the lines of a plain text file (--lines): each at
//   most one display line long and made of characters the message edit takes
//   from the keyboard, at most two, joined with CR LF as two typed lines are;
//   anything else is refused;
// - a banner file, read by the banner-file rule, with a warning wherever it
//   is not laid out as the unit will show it;
// - an escaped text, at most the 58 bytes a frame keeps, with a warning where
//   its bytes will not show as written.
// A refusal says what and where.
bool MessageText(const CommandLine& line, Message* message, std::string* refusal);
