#include "network/network_device.h"

#include <chrono>
#include <deque>
#include <utility>
#include <vector>

#include "network/tcp_connection.h"
#include "network/telnet.h"
#include "serial/uart_driver.h"
#include "serial/uart_registers.h"

namespace {

using namespace uart;
using Clock = std::chrono::steady_clock;

// The longest a status read waits for a byte: short beside the driver's
// time limits, which it counts across reads.
constexpr int kIdleWaitMs = 50;
// How long after confirming the line settings a server may take to say
// whether it can tell DTR's state.
constexpr int kDtrAnswerMs = 500;
// How long a unit behind a raw server may take to answer the rest of the
// negotiation's bytes, once its first answer came: each byte and its answer
// take about 2 ms at 9600 baud.
constexpr int kRestOfAnswersMs = 200;

// RFC 2217's commands, as the client sends them; the server answers each
// with the same code plus kServerOffset.
namespace cpo {
constexpr std::uint8_t kSetBaudRate = 1;
constexpr std::uint8_t kSetDataSize = 2;
constexpr std::uint8_t kSetParity = 3;
constexpr std::uint8_t kSetStopSize = 4;
constexpr std::uint8_t kSetControl = 5;
constexpr std::uint8_t kNotifyModemState = 7;
constexpr std::uint8_t kSetModemStateMask = 11;
constexpr std::uint8_t kPurgeData = 12;
constexpr std::uint8_t kServerOffset = 100;

// SET-CONTROL values.
constexpr std::uint8_t kNoFlowControl = 1;
constexpr std::uint8_t kAskDtr = 7;
constexpr std::uint8_t kDtrOn = 8;
constexpr std::uint8_t kDtrOff = 9;
constexpr std::uint8_t kRtsOn = 11;
constexpr std::uint8_t kRtsOff = 12;

// SET-PARITY and SET-STOPSIZE values.
constexpr std::uint8_t kParityNone = 1;
constexpr std::uint8_t kParityOdd = 2;
constexpr std::uint8_t kParityEven = 3;
constexpr std::uint8_t kParityMark = 4;
constexpr std::uint8_t kParitySpace = 5;
constexpr std::uint8_t kOneStopBit = 1;
constexpr std::uint8_t kTwoStopBits = 2;
constexpr std::uint8_t kOneAndAHalfStopBits = 3;

// PURGE-DATA values.
constexpr std::uint8_t kPurgeReceived = 1;
constexpr std::uint8_t kPurgeToSend = 2;
constexpr std::uint8_t kPurgeBoth = 3;
}  // namespace cpo

std::uint8_t ParityCode(Parity parity) {
  switch (parity) {
    case Parity::kOdd: return cpo::kParityOdd;
    case Parity::kEven: return cpo::kParityEven;
    case Parity::kMark: return cpo::kParityMark;
    case Parity::kSpace: return cpo::kParitySpace;
    case Parity::kNone: break;
  }
  return cpo::kParityNone;
}

const char* ParityName(std::uint8_t code) {
  switch (code) {
    case cpo::kParityNone: return "no parity";
    case cpo::kParityOdd: return "odd parity";
    case cpo::kParityEven: return "even parity";
    case cpo::kParityMark: return "mark parity";
    case cpo::kParitySpace: return "space parity";
    default: return "an unknown parity";
  }
}

// A serial server that has set up the line itself: bytes pass as they are.
class RawTcpDevice : public SerialDevice {
 public:
  explicit RawTcpDevice(std::unique_ptr<TcpConnection> connection)
      : connection_(std::move(connection)) {}

  bool Check() override { return Pump(0); }
  void ApplyLineSettings(const LineSettings&, std::uint8_t) override {}
  void ApplyModemControl(std::uint8_t) override {}

  std::uint8_t LineStatus(bool idle) override {
    // Once the connection has been read since the last byte went out, only
    // the wait for an answer needs to ask again: each read costs a call into
    // the system, several a byte, which a machine with many units feels.
    if (!(read_since_sent_ && !idle) && !Pump(0)) return kNothingThere;
    if (idle && received_.empty() && !Pump(kIdleWaitMs)) return kNothingThere;
    // Each byte is handed to the system whole when written, so the
    // transmitter is always empty.
    std::uint8_t value = kHoldingEmpty | kTransmitterEmpty;
    if (!received_.empty()) value |= kDataReady;
    return value;
  }

  std::uint8_t ModemStatus() override { return gone() ? kNothingThere : kModemLinesAssumedUp; }

  std::uint8_t ReceiveByte() override {
    if (received_.empty()) Pump(0);
    if (received_.empty()) return 0;
    const std::uint8_t value = received_.front();
    received_.pop_front();
    return value;
  }

  void TransmitByte(std::uint8_t value) override { Send({value}); }

  void Clear(bool receiver, bool /*transmitter*/) override {
    // Nothing waits to be sent on this side; what has come is dropped.
    if (!receiver) return;
    Pump(0);
    received_.clear();
  }

 protected:
  // Bytes from the server, as they came off the connection.
  virtual void Take(const std::uint8_t* bytes, std::size_t count) {
    if (!start_checked_) CheckStart(bytes, count);
    received_.insert(received_.end(), bytes, bytes + count);
  }

  void Send(const std::vector<std::uint8_t>& bytes) {
    read_since_sent_ = false;
    if (!connection_->Send(bytes.data(), bytes.size())) WentAway();
  }

  // Takes what has arrived, waiting up to wait_ms for something; false once
  // the connection is gone.
  bool Pump(int wait_ms) {
    if (gone()) return false;
    std::uint8_t buffer[512];
    int count = connection_->Receive(buffer, sizeof buffer, wait_ms);
    // A read that did not fill the buffer took all there was: no need to ask
    // the system again, which costs a call per byte on a busy machine.
    while (count > 0) {
      Take(buffer, static_cast<std::size_t>(count));
      count = count == static_cast<int>(sizeof buffer)
                  ? connection_->Receive(buffer, sizeof buffer, 0)
                  : 0;
    }
    if (count < 0) WentAway();
    read_since_sent_ = true;
    return !gone();
  }

  std::deque<std::uint8_t> received_;

 private:
  void WentAway() {
    Gone(connection_->error_code(),
         connection_->closed() ? "the server closed the connection" : "the connection broke");
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
      Gone(0, std::string(), ServerMixUp::kTelnetServer);
    }
  }

  std::unique_ptr<TcpConnection> connection_;
  bool read_since_sent_ = false;
  bool start_checked_ = false;
  std::vector<std::uint8_t> start_;
};

// A serial server that lets the client set the line: Telnet with RFC 2217's
// COM-PORT-OPTION.
class Rfc2217Device : public RawTcpDevice, private telnet::Handler {
 public:
  Rfc2217Device(std::unique_ptr<TcpConnection> connection, const StopCheck* stop)
      : RawTcpDevice(std::move(connection)), stop_(stop) {}

  // Agrees on binary transmission both ways and the COM-PORT-OPTION, and asks
  // for every change of the modem lines.
  bool Negotiate(DeviceError* why) {
    std::vector<std::uint8_t> out;
    for (std::uint8_t option : {telnet::kBinary, telnet::kComPortOption}) {
      telnet::AppendNegotiation(telnet::kWill, option, &out);
      asked_local_[option] = true;
    }
    telnet::AppendNegotiation(telnet::kDo, telnet::kBinary, &out);
    asked_remote_[telnet::kBinary] = true;
    Send(out);

    // Bytes back with no Telnet among them: a raw server passed the
    // negotiation to the unit's line, and the unit answered it.
    const auto raw = [&] { return !telnet_seen_ && data_seen_ > 0; };
    const bool answered = WaitUntil(
        [&] { return refused_ || raw() ||
                     (local_[telnet::kComPortOption] && local_[telnet::kBinary] &&
                      remote_[telnet::kBinary]); },
        UartDriver::kTimeLimitMs);
    if (StopAsked(stop_)) {
      why->error = PortError{PortProblem::kOther, 0};
      return false;
    }
    if (gone()) {
      *why = DeviceError{PortError{PortProblem::kOther, gone_code()}, gone_detail()};
      return false;
    }
    if (raw() || (!answered && !telnet_seen_)) {
      // The rest of the unit's answers, to count them.
      if (raw()) {
        WaitUntil([&] { return data_seen_ >= static_cast<int>(out.size()); }, kRestOfAnswersMs);
      }
      why->error = PortError{PortProblem::kOther, 0};
      why->mix_up = raw() ? ServerMixUp::kNoTelnet : ServerMixUp::kNoTelnetAnswer;
      why->bytes_sent = static_cast<int>(out.size());
      why->bytes_back = data_seen_;
      return false;
    }
    if (!answered || refused_) {
      const std::string what =
          !local_[telnet::kComPortOption]
              ? "it does not take RFC 2217's COM-PORT-OPTION, so the line cannot be set from "
                "here (a server that sets up the line itself is reached with socket://)"
              : "it will not pass every byte unchanged (Telnet's BINARY option was refused)";
      why->error = PortError{PortProblem::kOther, 0};
      why->detail = answered ? what
                             : "it did not answer Telnet's option negotiation within " +
                                   Seconds() + ": is it an RFC 2217 server?";
      return false;
    }
    Command(cpo::kSetModemStateMask, {0xFF});
    return true;
  }

  void ApplyLineSettings(const LineSettings& line, std::uint8_t /*modem_control*/) override {
    if (line.baud == 0 || gone()) return;
    const std::uint8_t stop_size = !line.long_stop        ? cpo::kOneStopBit
                                   : line.data_bits == 5 ? cpo::kOneAndAHalfStopBits
                                                         : cpo::kTwoStopBits;
    const Settings asked{line.baud, static_cast<std::uint8_t>(line.data_bits),
                         ParityCode(line.parity), stop_size};
    confirmed_ = Settings{};
    confirmed_count_ = 0;
    dtr_known_ = false;
    Command(cpo::kSetBaudRate, {static_cast<std::uint8_t>(line.baud >> 24),
                                static_cast<std::uint8_t>(line.baud >> 16),
                                static_cast<std::uint8_t>(line.baud >> 8),
                                static_cast<std::uint8_t>(line.baud)});
    Command(cpo::kSetDataSize, {asked.data_size});
    Command(cpo::kSetParity, {asked.parity});
    Command(cpo::kSetStopSize, {asked.stop_size});
    Command(cpo::kSetControl, {cpo::kNoFlowControl});
    // Whether the server can tell DTR's state says whether it has modem
    // lines at all; it answers at once either way.
    Command(cpo::kSetControl, {cpo::kAskDtr});

    if (!WaitUntil([&] { return confirmed_count_ >= 4; }, UartDriver::kTimeLimitMs)) {
      if (StopAsked(stop_)) {
        Gone(0);  // the run is to end: the next byte finds the port gone
      } else if (!gone()) {
        Gone(0, "it did not confirm the line settings (" + Describe(asked) + ") within " +
                    Seconds());
      }
      return;
    }
    // A server that keeps the question to itself has no modem lines either.
    WaitUntil([&] { return dtr_known_; }, kDtrAnswerMs);
    if (confirmed_.baud != asked.baud || confirmed_.data_size != asked.data_size ||
        confirmed_.parity != asked.parity || confirmed_.stop_size != asked.stop_size) {
      Gone(0, "it keeps the line at " + Describe(confirmed_) + " instead of " + Describe(asked));
    }
  }

  void ApplyModemControl(std::uint8_t modem_control) override {
    if (gone()) return;
    // A server without modem lines confirms neither; nothing waits for it.
    Command(cpo::kSetControl, {(modem_control & kDtr) ? cpo::kDtrOn : cpo::kDtrOff});
    Command(cpo::kSetControl, {(modem_control & kRts) ? cpo::kRtsOn : cpo::kRtsOff});
  }

  std::uint8_t ModemStatus() override {
    if (!has_modem_lines_) return gone() ? kNothingThere : kModemLinesAssumedUp;
    // While CTS is down only a notification can raise it: wait a little for
    // one rather than spin.
    Pump((modem_state_ & kClearToSend) ? 0 : kIdleWaitMs);
    return gone() ? kNothingThere : modem_state_;
  }

  void Clear(bool receiver, bool transmitter) override {
    if (!receiver && !transmitter) return;
    Command(cpo::kPurgeData, {receiver && transmitter ? cpo::kPurgeBoth
                              : receiver              ? cpo::kPurgeReceived
                                                      : cpo::kPurgeToSend});
    RawTcpDevice::Clear(receiver, transmitter);
  }

  void TransmitByte(std::uint8_t value) override {
    std::vector<std::uint8_t> out;
    telnet::AppendData(value, &out);
    Send(out);
  }

 private:
  struct Settings {
    std::uint32_t baud = 0;
    std::uint8_t data_size = 0;
    std::uint8_t parity = 0;
    std::uint8_t stop_size = 0;
  };

  static std::string Describe(const Settings& settings) {
    const char* stops = settings.stop_size == cpo::kTwoStopBits           ? "2 stop bits"
                        : settings.stop_size == cpo::kOneAndAHalfStopBits ? "1.5 stop bits"
                                                                          : "1 stop bit";
    return std::to_string(settings.baud) + " baud, " + std::to_string(settings.data_size) +
           " data bits, " + ParityName(settings.parity) + ", " + stops;
  }

  static std::string Seconds() { return std::to_string(UartDriver::kTimeLimitMs / 1000) + " s"; }

  void Take(const std::uint8_t* bytes, std::size_t count) override {
    reader_.Feed(bytes, count, *this);
  }

  void Data(std::uint8_t byte) override {
    received_.push_back(byte);
    ++data_seen_;
  }

  // Options are agreed for each side apart (what we will do: DO/DONT; what
  // the server will: WILL/WONT). An answer to what we asked gets no answer
  // back, what was not asked is answered once (yes only for the few options
  // used here), and a side already as asked stays silent, so no loop can start.
  void Negotiation(std::uint8_t verb, std::uint8_t option) override {
    telnet_seen_ = true;
    const bool ours = verb == telnet::kDo || verb == telnet::kDont;
    const bool yes = verb == telnet::kDo || verb == telnet::kWill;
    bool& on = ours ? local_[option] : remote_[option];
    bool& asked = ours ? asked_local_[option] : asked_remote_[option];
    const bool wanted = option == telnet::kBinary || option == telnet::kSuppressGoAhead ||
                        option == telnet::kComPortOption;
    const bool needed = option == telnet::kBinary || (ours && option == telnet::kComPortOption);
    const std::uint8_t agree = ours ? telnet::kWill : telnet::kDo;
    const std::uint8_t decline = ours ? telnet::kWont : telnet::kDont;
    std::vector<std::uint8_t> out;
    if (yes && !on) {
      on = asked || wanted;
      if (!asked) telnet::AppendNegotiation(on ? agree : decline, option, &out);
    } else if (!yes && on) {
      on = false;
      telnet::AppendNegotiation(decline, option, &out);
      if (needed) refused_ = true;
    } else if (!yes && asked && needed) {
      refused_ = true;
    }
    asked = false;
    if (!out.empty()) Send(out);
  }

  void Subnegotiation(std::uint8_t option, const std::vector<std::uint8_t>& payload) override {
    telnet_seen_ = true;
    if (option != telnet::kComPortOption || payload.size() < 2) return;
    const std::uint8_t command = payload[0];
    const std::uint8_t value = payload[1];
    switch (command) {
      case cpo::kServerOffset + cpo::kSetBaudRate:
        if (payload.size() < 5) return;
        confirmed_.baud = static_cast<std::uint32_t>(payload[1]) << 24 |
                          static_cast<std::uint32_t>(payload[2]) << 16 |
                          static_cast<std::uint32_t>(payload[3]) << 8 | payload[4];
        ++confirmed_count_;
        break;
      case cpo::kServerOffset + cpo::kSetDataSize:
        confirmed_.data_size = value;
        ++confirmed_count_;
        break;
      case cpo::kServerOffset + cpo::kSetParity:
        confirmed_.parity = value;
        ++confirmed_count_;
        break;
      case cpo::kServerOffset + cpo::kSetStopSize:
        confirmed_.stop_size = value;
        ++confirmed_count_;
        break;
      case cpo::kServerOffset + cpo::kSetControl:
        if (value == cpo::kDtrOn || value == cpo::kDtrOff) {
          if (!dtr_known_) has_modem_lines_ = true;
          dtr_known_ = true;
        } else if (value == cpo::kAskDtr) {
          // Asked back unanswered: the server cannot tell.
          dtr_known_ = true;
          has_modem_lines_ = false;
        }
        break;
      case cpo::kServerOffset + cpo::kNotifyModemState:
        modem_state_ = value;
        break;
      default:
        break;
    }
  }

  void Command(std::uint8_t command, const std::vector<std::uint8_t>& values) {
    std::vector<std::uint8_t> payload;
    payload.reserve(1 + values.size());
    payload.push_back(command);
    for (std::uint8_t value : values) payload.push_back(value);
    std::vector<std::uint8_t> out;
    telnet::AppendSubnegotiation(telnet::kComPortOption, payload, &out);
    Send(out);
  }

  // Reads from the server until done() or limit_ms, or a stop is asked;
  // whether done() came true.
  template <class Done>
  bool WaitUntil(Done done, std::int64_t limit_ms) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    while (!done()) {
      if (StopAsked(stop_)) return false;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0 || !Pump(static_cast<int>(left < kIdleWaitMs ? left : kIdleWaitMs))) {
        return done();
      }
    }
    return true;
  }

  const StopCheck* stop_;
  telnet::Reader reader_;
  // Per option: agreed on our side (we will) and the server's (it will), and
  // whether either has been asked.
  bool local_[256] = {};
  bool remote_[256] = {};
  bool asked_local_[256] = {};
  bool asked_remote_[256] = {};
  bool refused_ = false;
  bool telnet_seen_ = false;  // any negotiation or subnegotiation from the server
  int data_seen_ = 0;         // data bytes from the server

  Settings confirmed_;
  int confirmed_count_ = 0;
  bool dtr_known_ = false;
  bool has_modem_lines_ = false;
  std::uint8_t modem_state_ = kModemLinesAssumedUp;  // until the server says otherwise
};

}  // namespace

std::unique_ptr<SerialDevice> OpenNetworkDevice(const NetworkAddress& address, DeviceError* why,
                                                const StopCheck* stop) {
  std::unique_ptr<TcpConnection> connection =
      TcpConnection::Open(address.host, address.port, kConnectTimeoutMs, why, stop);
  if (connection == nullptr) return nullptr;
  if (address.kind == NetworkAddress::Kind::kRawTcp) {
    return std::make_unique<RawTcpDevice>(std::move(connection));
  }
  auto device = std::make_unique<Rfc2217Device>(std::move(connection), stop);
  if (!device->Negotiate(why)) return nullptr;
  return device;
}
