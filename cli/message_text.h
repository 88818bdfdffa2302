#pragma once
#include <string>

#include "cli/command_line.h"

// The message text the command line gives, by its source:
// - lines: each at most one display line long and made of characters the
//   message edit takes from the keyboard, at most two, joined with CR LF as
//   two typed lines are;
// - a banner file, read by the banner-file rule;
// - an escaped text, at most the 58 bytes a frame keeps.
// Nothing is ever cut: anything that does not fit is refused, and refusal
// says what and where.
bool MessageText(const CommandLine& line, std::string* text, std::string* refusal);
