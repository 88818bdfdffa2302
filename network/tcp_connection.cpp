#include "network/tcp_connection.h"

DeviceError TcpConnection::ConnectFailure(Refusal refusal, int code, int timeout_ms) {
  DeviceError why;
  why.error = PortError{PortProblem::kOther, refusal == Refusal::kOther ? code : 0};
  why.server.kind = refusal == Refusal::kRefused    ? ServerFault::Kind::kConnectionRefused
                    : refusal == Refusal::kTimedOut ? ServerFault::Kind::kNoAnswer
                                                    : ServerFault::Kind::kUnreachable;
  why.server.seconds = timeout_ms / 1000;
  return why;
}
