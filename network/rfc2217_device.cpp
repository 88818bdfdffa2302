#include "network/rfc2217_device.h"

#include <deque>
#include <utility>
#include <vector>

#include "network/rfc2217_codes.h"
#include "network/rfc2217_settings.h"
#include "network/server_link.h"
#include "network/telnet.h"
#include "serial/uart_driver.h"
#include "serial/uart_registers.h"

namespace {

using namespace uart;
using Side = telnet::OptionTable::Side;

// How long after confirming the line settings a server may take to say
// whether it can tell DTR's state.
constexpr int kDtrAnswerMs = 500;
// How long a unit behind a raw server may take to answer the rest of the
// negotiation's bytes, once its first answer came: each byte and its answer
// take about 2 ms at 9600 baud.
constexpr int kRestOfAnswersMs = 200;

class Rfc2217Device final : public SerialDevice,
                            private ServerLink::Owner,
                            private telnet::Handler {
 public:
  Rfc2217Device(std::unique_ptr<ByteChannel> channel, const StopCheck* stop)
      : link_(std::move(channel), *this), stop_(stop) {
    // Options the server may offer or ask for that do no harm here.
    options_.Accept(Side::kUs, telnet::kSuppressGoAhead);
    options_.Accept(Side::kHim, telnet::kSuppressGoAhead);
    options_.Accept(Side::kHim, telnet::kComPortOption);
  }

  // Agrees on binary transmission both ways and the COM-PORT-OPTION, and asks
  // for every change of the modem lines.
  bool Negotiate(DeviceError* why) {
    std::vector<std::uint8_t> out;
    options_.Ask(Side::kUs, telnet::kBinary, &out);
    options_.Ask(Side::kUs, telnet::kComPortOption, &out);
    options_.Ask(Side::kHim, telnet::kBinary, &out);
    link_.Send(out);

    // Bytes back with no Telnet among them: a raw server passed the
    // negotiation to the unit's line, and the unit answered it.
    const auto raw = [&] { return !telnet_seen_ && data_seen_ > 0; };
    const bool answered = link_.WaitUntil(
        [&] {
          return Refused() || raw() ||
                 (options_.enabled(Side::kUs, telnet::kComPortOption) &&
                  options_.enabled(Side::kUs, telnet::kBinary) &&
                  options_.enabled(Side::kHim, telnet::kBinary));
        },
        UartDriver::kTimeLimitMs, stop_);
    if (StopAsked(stop_)) {
      why->error = PortError{PortProblem::kOther, 0};
      return false;
    }
    if (gone()) {
      *why = gone_why();
      why->error = PortError{PortProblem::kOther, gone_code()};
      return false;
    }
    if (raw() || (!answered && !telnet_seen_)) {
      // The rest of the unit's answers, to count them.
      if (raw()) {
        link_.WaitUntil([&] { return data_seen_ >= static_cast<int>(out.size()); },
                        kRestOfAnswersMs, stop_);
      }
      why->error = PortError{PortProblem::kOther, 0};
      why->mix_up = raw() ? ServerMixUp::kNoTelnet : ServerMixUp::kNoTelnetAnswer;
      why->bytes_sent = static_cast<int>(out.size());
      why->bytes_back = data_seen_;
      return false;
    }
    if (!answered || Refused()) {
      why->error = PortError{PortProblem::kOther, 0};
      why->server.kind = !answered ? ServerFault::Kind::kNegotiationUnanswered
                         : options_.refused(Side::kUs, telnet::kComPortOption)
                             ? ServerFault::Kind::kNoComPortOption
                             : ServerFault::Kind::kNoBinary;
      why->server.seconds = UartDriver::kTimeLimitMs / 1000;
      return false;
    }
    Command(cpo::kSetModemStateMask, {0xFF});
    return true;
  }

  bool Check() override {
    link_.Pump(0);
    return !gone();
  }

  void ApplyLineSettings(const LineSettings& line, std::uint8_t /*modem_control*/) override {
    if (line.baud == 0 || gone()) return;
    const Rfc2217Settings asked = Rfc2217Settings::For(line);
    confirmed_ = Rfc2217Settings{};
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

    if (!link_.WaitUntil([&] { return confirmed_.answered == Rfc2217Settings::kAll; },
                         UartDriver::kTimeLimitMs, stop_)) {
      if (StopAsked(stop_)) {
        Gone(0);  // the run is to end: the next byte finds the port gone
      } else if (!gone()) {
        ServerFault fault;
        fault.kind = ServerFault::Kind::kLineUnconfirmed;
        fault.asked = asked.Line();
        fault.seconds = UartDriver::kTimeLimitMs / 1000;
        Gone(0, fault);
      }
      return;
    }
    // A server that keeps the question to itself has no modem lines either.
    link_.WaitUntil([&] { return dtr_known_; }, kDtrAnswerMs, stop_);
    if (!confirmed_.SameLine(asked)) {
      ServerFault fault;
      fault.kind = ServerFault::Kind::kLineKept;
      fault.asked = asked.Line();
      fault.kept = confirmed_.Line();
      Gone(0, fault);
    }
  }

  void ApplyModemControl(std::uint8_t modem_control) override {
    if (gone()) return;
    // A server without modem lines confirms neither; nothing waits for it.
    Command(cpo::kSetControl, {(modem_control & kDtr) ? cpo::kDtrOn : cpo::kDtrOff});
    Command(cpo::kSetControl, {(modem_control & kRts) ? cpo::kRtsOn : cpo::kRtsOff});
  }

  QueueFacts ReadQueues(int wait_ms) override { return link_.Queues(received_, wait_ms); }


  ModemLines ReadModemLines(int wait_ms) override {
    ModemLines lines;
    lines.present = HasModemLines();
    if (!lines.present) return lines;
    // While CTS is down only a notification can raise it.
    link_.Pump(wait_ms);
    lines.clear_to_send = (modem_state_ & kClearToSend) != 0;
    lines.data_set_ready = (modem_state_ & kDataSetReady) != 0;
    lines.ring = (modem_state_ & kRingIndicator) != 0;
    lines.carrier_detect = (modem_state_ & kCarrierDetect) != 0;
    return lines;
  }

  std::uint8_t ReceiveByte() override { return link_.NextByte(received_); }

  void TransmitByte(std::uint8_t value) override {
    std::vector<std::uint8_t> out;
    telnet::AppendData(value, &out);
    link_.Send(out);
  }

  void Clear(bool receiver, bool transmitter) override {
    if (!receiver && !transmitter) return;
    Command(cpo::kPurgeData, {receiver && transmitter ? cpo::kPurgeBoth
                              : receiver              ? cpo::kPurgeReceived
                                                      : cpo::kPurgeToSend});
    if (!receiver) return;
    link_.Pump(0);
    received_.clear();
  }

 private:
  // Binary both ways and the COM-PORT-OPTION on our side are what the line
  // needs; the server declined one or turned it off after agreeing.
  bool Refused() const {
    return options_.refused(Side::kUs, telnet::kBinary) ||
           options_.refused(Side::kHim, telnet::kBinary) ||
           options_.refused(Side::kUs, telnet::kComPortOption);
  }

  bool HasModemLines() const { return dtr_state_told_ || line_up_reported_; }

  void Take(const std::uint8_t* bytes, std::size_t count) override {
    reader_.Feed(bytes, count, *this);
  }

  void LinkGone(int code, bool closed_by_server) override {
    Gone(code, closed_by_server ? ServerFault::Kind::kClosedByServer
                                : ServerFault::Kind::kConnectionBroke);
  }

  void Data(std::uint8_t byte) override {
    received_.push_back(byte);
    ++data_seen_;
  }

  void Negotiation(std::uint8_t verb, std::uint8_t option) override {
    telnet_seen_ = true;
    std::vector<std::uint8_t> out;
    options_.Receive(verb, option, &out);
    if (!out.empty()) link_.Send(out);
  }

  void Subnegotiation(std::uint8_t option, const std::vector<std::uint8_t>& payload) override {
    telnet_seen_ = true;
    if (option != telnet::kComPortOption || payload.size() < 2) return;
    if (confirmed_.Take(payload)) return;
    const std::uint8_t value = payload[1];
    switch (payload[0]) {
      case cpo::kServerOffset + cpo::kSetControl:
        if (value == cpo::kDtrOn || value == cpo::kDtrOff) {
          if (!dtr_known_) dtr_state_told_ = true;
          dtr_known_ = true;
        } else if (value == cpo::kAskDtr) {
          // Asked back unanswered: the server cannot tell.
          dtr_known_ = true;
          dtr_state_told_ = false;
        }
        break;
      case cpo::kServerOffset + cpo::kNotifyModemState:
        modem_state_ = value;
        // Only real modem lines are ever up; a pseudo-terminal behind the
        // server reports them all down.
        if (value & (cpo::kDataSetReadyBit | cpo::kCarrierDetectBit)) line_up_reported_ = true;
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
    link_.Send(out);
  }

  ServerLink link_;
  const StopCheck* stop_;
  telnet::Reader reader_;
  telnet::OptionTable options_;
  bool telnet_seen_ = false;  // any negotiation or subnegotiation from the server
  int data_seen_ = 0;         // data bytes from the server
  std::deque<std::uint8_t> received_;

  Rfc2217Settings confirmed_;
  bool dtr_known_ = false;        // answered since the line settings went
  bool dtr_state_told_ = false;   // and with DTR's state, not the question back
  bool line_up_reported_ = false; // DSR or CD reported up, ever
  std::uint8_t modem_state_ = kModemLinesAssumedUp;  // until the server says otherwise
};

}  // namespace

std::unique_ptr<SerialDevice> OpenRfc2217Device(std::unique_ptr<ByteChannel> channel,
                                                DeviceError* why, const StopCheck* stop) {
  auto device = std::make_unique<Rfc2217Device>(std::move(channel), stop);
  if (!device->Negotiate(why)) return nullptr;
  return device;
}
