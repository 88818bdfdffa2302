#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>

#include "network/host_lookup.h"
#include "network/tcp_connection.h"

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

timeval Timeout(int ms) {
  timeval limit{};
  limit.tv_sec = ms / 1000;
  limit.tv_usec = (ms % 1000) * 1000;
  return limit;
}


// One address tried until the deadline: the socket, or INVALID_SOCKET with
// Winsock's reason.
SOCKET ConnectTo(const addrinfo& address, Clock::time_point deadline, const StopCheck* stop,
                 int* failure) {
  SOCKET s = ::socket(address.ai_family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    *failure = WSAGetLastError();
    return INVALID_SOCKET;
  }
  u_long nonblocking = 1;
  ::ioctlsocket(s, FIONBIO, &nonblocking);
  if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK) {
    *failure = WSAGetLastError();
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  int ready = 0;
  // In slices, so that a stop asked meanwhile is seen.
  while (ready == 0 && MsLeft(deadline) > 0 && !StopAsked(stop)) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval limit = Timeout(MsLeft(deadline) < kStopPollMs ? MsLeft(deadline) : kStopPollMs);
    ready = ::select(0, nullptr, &writable, &failed, &limit);
  }
  int result = WSAETIMEDOUT;
  if (ready > 0) {
    int size = sizeof result;
    result = 0;
    ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result), &size);
  }
  if (result != 0) {
    *failure = result;
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

}  // namespace

// Winsock is started once for the process and left running to its end.
bool StartSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::unique_ptr<TcpConnection> TcpConnection::Open(const std::string& host, int port,
                                                   int timeout_ms, DeviceError* why,
                                                   const StopCheck* stop) {
  if (!StartSockets()) {
    why->error = PortError{PortProblem::kOther, WSAGetLastError()};
    why->server.kind = ServerFault::Kind::kNetworkUnusable;
    return nullptr;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::unique_ptr<HostLookup> lookup = HostLookup::Find(host, port, timeout_ms, why, stop);
  if (lookup == nullptr) return nullptr;

  int failure = WSAETIMEDOUT;
  for (const addrinfo* entry = lookup->first(); entry != nullptr; entry = entry->ai_next) {
    const SOCKET s = ConnectTo(*entry, deadline, stop, &failure);
    if (StopAsked(stop)) {
      if (s != INVALID_SOCKET) ::closesocket(s);
      why->error = PortError{PortProblem::kOther, 0};
      return nullptr;
    }
    if (s == INVALID_SOCKET) continue;
    const BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return std::unique_ptr<TcpConnection>(new TcpConnection(static_cast<std::intptr_t>(s)));
  }
  const Refusal refusal = failure == WSAECONNREFUSED ? Refusal::kRefused
                          : failure == WSAETIMEDOUT  ? Refusal::kTimedOut
                                                     : Refusal::kOther;
  *why = ConnectFailure(refusal, failure, timeout_ms);
  return nullptr;
}

TcpConnection::~TcpConnection() { ::closesocket(static_cast<SOCKET>(socket_)); }

bool TcpConnection::Send(const std::uint8_t* bytes, std::size_t count) {
  const SOCKET s = static_cast<SOCKET>(socket_);
  while (count > 0 && error_code_ == 0) {
    const int sent = ::send(s, reinterpret_cast<const char*>(bytes), static_cast<int>(count), 0);
    if (sent > 0) {
      bytes += sent;
      count -= static_cast<std::size_t>(sent);
    } else if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      fd_set room;
      FD_ZERO(&room);
      FD_SET(s, &room);
      timeval limit = Timeout(1000);
      ::select(0, nullptr, &room, nullptr, &limit);
    } else {
      error_code_ = sent == SOCKET_ERROR ? WSAGetLastError() : WSAECONNRESET;
      return false;
    }
  }
  return error_code_ == 0;
}

int TcpConnection::Receive(std::uint8_t* buffer, std::size_t size, int wait_ms) {
  const SOCKET s = static_cast<SOCKET>(socket_);
  if (error_code_ != 0 || closed_) return -1;
  if (wait_ms > 0) {
    fd_set input;
    FD_ZERO(&input);
    FD_SET(s, &input);
    timeval limit = Timeout(wait_ms);
    if (::select(0, &input, nullptr, nullptr, &limit) <= 0) return 0;
  }
  const int count = ::recv(s, reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
  if (count > 0) return count;
  if (count == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return 0;
  if (count == 0) {
    closed_ = true;
  } else {
    error_code_ = WSAGetLastError();
  }
  return -1;
}
