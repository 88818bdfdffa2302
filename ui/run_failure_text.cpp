#include "ui/run_failure_text.h"

#include "serial/uart_registers.h"

// Named after the UART the driver picks for the index, so the two never disagree.
std::string PortName(int port) {
  return UartDriver::BaseFor(port) == uart::kCom2Base ? "COM2" : "COM1";
}

std::string RunFailureText(int port, SendStatus status) {
  const std::string name = PortName(port);
  const std::string tryAgain = " Check the cable and the unit's power, then press Program again.";
  switch (status) {
    case SendStatus::kSent:
      return std::string();
    case SendStatus::kPortMissing:
      return name +
             " could not be opened, or was disconnected. Check that the port exists and "
             "that no other program is using it.";
    case SendStatus::kNoAnswer:
      return "The unit on " + name + " did not answer." + tryAgain;
    case SendStatus::kNoCts:
      return "The unit on " + name + " did not signal that it was ready." + tryAgain;
    case SendStatus::kTransmitterStuck:
      return name + " did not finish sending." + tryAgain;
    case SendStatus::kReceiverFlooded:
      return "The unit on " + name + " kept sending without a pause." + tryAgain;
  }
  return "Programming on " + name + " stopped." + tryAgain;
}
