#pragma once
#include <string>
#include <vector>

#include "unitrun/system_ports.h"

// The serial ports as sysfs and /dev under root tell them ("" for this
// computer's own), named as they are under /; in natural order of their
// names (ttyS2 before ttyS10).
std::vector<SystemPort> SysfsSystemPorts(const std::string& root);
