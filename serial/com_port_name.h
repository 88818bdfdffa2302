#pragma once
#include <string>

// A Windows serial port's name, COMn for any n from 1 up (COM1, COM10,
// COM255), in any case and without leading zeros. Gives it as Windows shows
// it ("com5" -> "COM5"); false for anything else.
bool ComPortName(const std::string& text, std::string* name);

// The device a port's name is opened by: "\\.\COM5". COM10 and up are
// reachable only so, and every COMn is by it.
std::string ComPortDevice(const std::string& name);
