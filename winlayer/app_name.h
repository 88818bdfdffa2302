#pragma once
#include <string>

// The application's name is its executable's file name without folder and
// extension: "korvel" for C:\Tools\korvel.exe.
std::string AppNameFromPath(const std::string& path);

// The name of the running executable.
std::string ApplicationName();
