#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "network/byte_channel.h"
#include "network/tcp_connection.h"
#include "serial/serial_device.h"

// The channel to a serial server as a device uses it: what arrives is read
// in whole buffers and handed to the device, what it sends goes out at once,
// and the device hears once that the channel went.
class ServerLink {
 public:
  // The device's side of the link.
  class Owner {
   public:
    // Bytes from the server, as they came off the channel.
    virtual void Take(const std::uint8_t* bytes, std::size_t count) = 0;
    // The channel went: code is the system's, 0 when the server closed it.
    virtual void LinkGone(int code, bool closed_by_server) = 0;

   protected:
    ~Owner() = default;
  };

  ServerLink(std::unique_ptr<ByteChannel> channel, Owner& owner)
      : channel_(std::move(channel)), owner_(owner) {}

  // Takes what has arrived, waiting up to wait_ms for something; false once
  // the channel is gone.
  bool Pump(int wait_ms);
  void Send(const std::vector<std::uint8_t>& bytes);

  // Reads until done() or limit_ms, or a stop is asked; whether done() came
  // true.
  bool WaitUntil(const std::function<bool()>& done, std::int64_t limit_ms, const StopCheck* stop);

  // What a device on the link reports of its queues, received being the
  // server's bytes the device keeps for the unit.
  QueueFacts Queues(const std::deque<std::uint8_t>& received, int wait_ms);
  // The next of those bytes, taken off received; 0 when none has come.
  std::uint8_t NextByte(std::deque<std::uint8_t>& received);

  bool gone() const { return gone_; }
  // Whether the channel has been read since the last bytes went out.
  bool read_since_sent() const { return read_since_sent_; }

 private:
  void WentAway();

  std::unique_ptr<ByteChannel> channel_;
  Owner& owner_;
  bool gone_ = false;
  bool read_since_sent_ = false;
};
