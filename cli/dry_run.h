#pragma once
#include <string>

// What a run with this message text would send and show, without a port:
// both frames in hex, as far as they go out, and the unit's two lines.
std::string DryRunText(const std::string& text);
