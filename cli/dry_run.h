#pragma once
#include <string>

// What a run with this message text would send and show, without a port:
// both frames in hex, as far as they go out, and the unit's two lines.
std::string DryRunText(const std::string& text);

// The two lines the unit will show for this message text, in a box.
std::string DisplayText(const std::string& text);
