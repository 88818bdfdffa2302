#pragma once
#include <string>
#include <vector>

#include "sim/korvel_unit.h"

// What the command line asks of korvel-unit.
struct ToolOptions {
  UnitBehaviour behaviour;
  int line_speed = 0;  // baud to emulate; 0 passes bytes at once
  bool no_spin = false;  // sleep out each byte's time, however late the sleep ends
  std::string path_file;
  std::string log_file;
  std::string frames_file;
  long count = 0;  // frames to take before exiting; 0 runs until stopped
  bool help = false;
};

// Reads the arguments after the program name. On a mistake returns false and
// says what was wrong in error.
bool ParseOptions(const std::vector<std::string>& args, ToolOptions& options, std::string& error);

const char* UsageText();
