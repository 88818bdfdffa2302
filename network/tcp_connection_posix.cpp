#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "network/host_lookup.h"
#include "network/tcp_connection.h"

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// One address tried until the deadline: the socket, or -1 with errno's reason.
int ConnectTo(const sockaddr* address, socklen_t length, int family, Clock::time_point deadline,
              const StopCheck* stop, int* failure) {
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
  if (fd < 0) {
    *failure = errno;
    return -1;
  }
  if (::connect(fd, address, length) != 0 && errno != EINPROGRESS) {
    *failure = errno;
    ::close(fd);
    return -1;
  }
  pollfd done{fd, POLLOUT, 0};
  int ready = 0;
  // In slices, so that a stop asked meanwhile is seen.
  while (MsLeft(deadline) > 0 && !StopAsked(stop)) {
    const int slice = MsLeft(deadline) < kStopPollMs ? MsLeft(deadline) : kStopPollMs;
    ready = ::poll(&done, 1, slice);
    if (ready > 0 || (ready < 0 && errno != EINTR)) break;
  }
  int result = ETIMEDOUT;
  socklen_t size = sizeof result;
  if (ready > 0) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size);
  if (result != 0) {
    *failure = result;
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool StartSockets() { return true; }

std::unique_ptr<TcpConnection> TcpConnection::Open(const std::string& host, int port,
                                                   int timeout_ms, DeviceError* why,
                                                   const StopCheck* stop) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::unique_ptr<HostLookup> lookup = HostLookup::Find(host, port, timeout_ms, why, stop);
  if (lookup == nullptr) return nullptr;

  int failure = ETIMEDOUT;
  for (const addrinfo* entry = lookup->first(); entry != nullptr; entry = entry->ai_next) {
    const int fd = ConnectTo(entry->ai_addr, entry->ai_addrlen, entry->ai_family, deadline, stop,
                             &failure);
    if (StopAsked(stop)) {
      if (fd >= 0) ::close(fd);
      why->error = PortError{PortProblem::kOther, 0};
      return nullptr;
    }
    if (fd < 0) continue;
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return std::unique_ptr<TcpConnection>(new TcpConnection(fd));
  }
  const Refusal refusal = failure == ECONNREFUSED ? Refusal::kRefused
                          : failure == ETIMEDOUT   ? Refusal::kTimedOut
                                                   : Refusal::kOther;
  *why = ConnectFailure(refusal, failure, timeout_ms);
  return nullptr;
}

TcpConnection::~TcpConnection() { ::close(static_cast<int>(socket_)); }

bool TcpConnection::Send(const std::uint8_t* bytes, std::size_t count) {
  const int fd = static_cast<int>(socket_);
  while (count > 0 && error_code_ == 0) {
    const ssize_t sent = ::send(fd, bytes, count, MSG_NOSIGNAL);
    if (sent > 0) {
      bytes += sent;
      count -= static_cast<std::size_t>(sent);
    } else if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd room{fd, POLLOUT, 0};
      ::poll(&room, 1, 1000);
    } else {
      error_code_ = sent < 0 ? errno : EPIPE;
      return false;
    }
  }
  return error_code_ == 0;
}

int TcpConnection::Receive(std::uint8_t* buffer, std::size_t size, int wait_ms) {
  const int fd = static_cast<int>(socket_);
  if (error_code_ != 0 || closed_) return -1;
  if (wait_ms > 0) {
    pollfd input{fd, POLLIN, 0};
    if (::poll(&input, 1, wait_ms) <= 0) return 0;  // nothing came, or a signal
  }
  const ssize_t count = ::recv(fd, buffer, size, 0);
  if (count > 0) return static_cast<int>(count);
  if (count < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  if (count == 0) {
    closed_ = true;
  } else {
    error_code_ = errno;
  }
  return -1;
}
