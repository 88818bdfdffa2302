#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "network/byte_channel.h"
#include "serial/port_error.h"

// The system's sockets made ready for use, once for the process; false when
// they cannot be.
bool StartSockets();

// Asked again and again while a connection is looked up, made or agreed on;
// true gives up at once: a person asked the run to stop.
using StopCheck = std::function<bool()>;

// Whether a stop is asked through stop, which may be null or empty.
inline bool StopAsked(const StopCheck* stop) { return stop != nullptr && *stop && (*stop)(); }

// How often a wait asks its StopCheck.
constexpr int kStopPollMs = 50;

// A TCP connection to a serial server. Each system has its file.
class TcpConnection final : public ByteChannel {
 public:
  // Looks the host up and connects within timeout_ms, with Nagle's delay off
  // so that each byte leaves at once. Null, with why in error, when it
  // cannot: the host is not known, nobody listens there, or it cannot be
  // reached in time.
  // A stop asked through stop gives up, why then saying nothing.
  static std::unique_ptr<TcpConnection> Open(const std::string& host, int port, int timeout_ms,
                                             DeviceError* why, const StopCheck* stop = nullptr);

  ~TcpConnection() override;
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  bool Send(const std::uint8_t* bytes, std::size_t count) override;
  int Receive(std::uint8_t* buffer, std::size_t size, int wait_ms) override;
  int error_code() const override { return error_code_; }
  bool closed() const override { return closed_; }

 private:
  explicit TcpConnection(std::intptr_t socket) : socket_(socket) {}

  // Why no address of the host took the connection, from the last one's
  // failure; each system says which of its codes mean what.
  enum class Refusal { kRefused, kTimedOut, kOther };
  static DeviceError ConnectFailure(Refusal refusal, int code, int timeout_ms);

  std::intptr_t socket_;
  int error_code_ = 0;
  bool closed_ = false;  // by the peer
};
