#pragma once
#include <windows.h>

// The help command: F1 in any dialog arrives as this command, and what no
// window handles goes on to the application object.
constexpr UINT ID_HELP = 0xE146;
