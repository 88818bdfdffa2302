#include "network/tcp_connection.h"

DeviceError TcpConnection::ConnectFailure(Refusal refusal, int code, int timeout_ms) {
  switch (refusal) {
    case Refusal::kRefused:
      return DeviceError{PortError{PortProblem::kOther, 0},
                         "the connection was refused: is the serial server running, and is that "
                         "its port?"};
    case Refusal::kTimedOut:
      return DeviceError{PortError{PortProblem::kOther, 0},
                         "nothing answered there within " + std::to_string(timeout_ms / 1000) +
                             " s: is the address right, and the server on the network?"};
    case Refusal::kOther:
      break;
  }
  return DeviceError{PortError{PortProblem::kOther, code}, "it could not be reached"};
}
