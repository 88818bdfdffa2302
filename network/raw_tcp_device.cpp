#include "network/raw_tcp_device.h"

#include <deque>
#include <utility>
#include <vector>

#include "network/server_link.h"
#include "network/telnet.h"

namespace {

class RawTcpDevice final : public SerialDevice, private ServerLink::Owner {
 public:
  explicit RawTcpDevice(std::unique_ptr<ByteChannel> channel) : link_(std::move(channel), *this) {}

  bool Check() override {
    link_.Pump(0);
    return !gone();
  }
  void ApplyLineSettings(const LineSettings&, std::uint8_t) override {}
  void ApplyModemControl(std::uint8_t) override {}

  QueueFacts ReadQueues(int wait_ms) override { return link_.Queues(received_, wait_ms); }


  ModemLines ReadModemLines(int /*wait_ms*/) override {
    ModemLines none;
    none.present = false;
    return none;
  }

  std::uint8_t ReceiveByte() override { return link_.NextByte(received_); }

  void TransmitByte(std::uint8_t value) override { link_.Send({value}); }

  void Clear(bool receiver, bool /*transmitter*/) override {
    // Nothing waits to be sent on this side; what has come is dropped.
    if (!receiver) return;
    link_.Pump(0);
    received_.clear();
  }

 private:
  void Take(const std::uint8_t* bytes, std::size_t count) override {
    if (!start_checked_) CheckStart(bytes, count);
    received_.insert(received_.end(), bytes, bytes + count);
  }

  void LinkGone(int code, bool closed_by_server) override {
    Gone(code, closed_by_server ? ServerFault::Kind::kClosedByServer
                                : ServerFault::Kind::kConnectionBroke);
  }

  // A Telnet server opens with its option negotiation, IAC and a verb, before
  // it has been sent anything; a unit behind a raw server only ever answers
  // what it was sent, and two answers never come before the second byte.
  void CheckStart(const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count && start_.size() < 2; ++i) start_.push_back(bytes[i]);
    if (start_.size() < 2 && start_[0] == telnet::kIac) return;  // the verb is yet to come
    start_checked_ = true;
    const std::uint8_t verb = start_.size() > 1 ? start_[1] : 0;
    if (start_[0] == telnet::kIac && (verb == telnet::kWill || verb == telnet::kWont ||
                                      verb == telnet::kDo || verb == telnet::kDont ||
                                      verb == telnet::kSb)) {
      Gone(0, ServerFault{}, ServerMixUp::kTelnetServer);
    }
  }

  ServerLink link_;
  std::deque<std::uint8_t> received_;
  bool start_checked_ = false;
  std::vector<std::uint8_t> start_;
};

}  // namespace

std::unique_ptr<SerialDevice> MakeRawTcpDevice(std::unique_ptr<ByteChannel> channel) {
  return std::make_unique<RawTcpDevice>(std::move(channel));
}
