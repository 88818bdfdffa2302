#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>

// A string of the executable's string table; empty when there is none.
std::string LoadResourceString(UINT id);

// A string of the string table with %1, %2, ... replaced by the arguments in
// order, as message texts are built from a string id plus arguments.
std::string FormatResourceString(UINT id, std::initializer_list<std::string> arguments);
