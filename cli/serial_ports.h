#pragma once
#include <string>
#include <vector>

struct SerialPort {
  std::string name;  // what --port takes
  std::string note;  // what it is, where the system says; may be empty
};

// The serial ports of this computer. Linux: the links in /dev/serial/by-id
// when there are any, else ttyUSB*, ttyACM*, and the ttyS* that have a UART
// behind them. Windows: the system's list of serial ports.
std::vector<SerialPort> SerialPorts();
