#pragma once
#include <cstddef>
#include <cstdint>

// A two-way stream of bytes to a serial server: a TCP connection in use, a
// scripted server in the tests.
class ByteChannel {
 public:
  virtual ~ByteChannel() = default;

  // Sends every byte; false once the channel is gone.
  virtual bool Send(const std::uint8_t* bytes, std::size_t count) = 0;

  // What has arrived, up to size bytes, waiting up to wait_ms for the first
  // of them: the count, 0 when nothing came, -1 once the channel is gone.
  virtual int Receive(std::uint8_t* buffer, std::size_t size, int wait_ms) = 0;

  // The system's error code for why the channel went; 0 when the peer
  // closed it.
  virtual int error_code() const = 0;
  virtual bool closed() const = 0;
};
