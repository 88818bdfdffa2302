#pragma once
#include <string>

// What a run with this message text would send and show, without a port:
// both frames in hex, as far as they go out, and the unit's two lines.
std::string DryRunText(const std::string& text);

// The same as one JSON object on a line, for scripts: both frames in hex and
// the unit's two lines, a byte above 0x7F as the character of that number.
//   {"blank_frame":"20 20 ... 0D 0A 1A","message_frame":"48 49 00 ... 1A",
//    "display":["HI                          ","                            "]}
std::string DryRunJson(const std::string& text);

// The two lines the unit will show for this message text, in a box.
std::string DisplayText(const std::string& text);
