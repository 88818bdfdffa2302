// Both kinds of network device against a scripted server on a byte channel:
// the Telnet negotiation, each line setting's confirmation and the modem
// lines, without sockets.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "network/raw_tcp_device.h"
#include "network/rfc2217_codes.h"
#include "network/rfc2217_device.h"
#include "network/telnet.h"
#include "serial/uart_registers.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace telnet;

// A serial server as a script: how it answers each negotiation and each
// COM-PORT-OPTION command, and what it was sent.
struct Server : Handler {
  // Negotiation: a verb from the client gets this verb back (0: nothing).
  std::uint8_t Answer(std::uint8_t verb) const {
    if (answers_answers) {
      // Acknowledges everything, answers included: the way to a loop.
      return verb == kWill ? kDo : verb == kWont ? kDont : verb == kDo ? kWill : kWont;
    }
    if (verb == kWill) return kDo;
    if (verb == kDo) return kWill;
    return 0;
  }

  void Data(std::uint8_t byte) override { data.push_back(byte); }

  void Negotiation(std::uint8_t verb, std::uint8_t option) override {
    ++negotiations_seen;
    const std::uint8_t answer = Answer(verb);
    if (answer != 0) AppendNegotiation(answer, option, &to_client);
    if (negotiations_seen == 3) {
      to_client.insert(to_client.end(), after_agreeing.begin(), after_agreeing.end());
    }
  }

  void Subnegotiation(std::uint8_t option, const Bytes& payload) override {
    if (option != kComPortOption || payload.empty()) return;
    const std::uint8_t command = payload[0];
    Bytes answer = payload;
    answer[0] = static_cast<std::uint8_t>(command + cpo::kServerOffset);
    if (command == cpo::kSetBaudRate && baud_twice) Confirm(answer);
    if (command == cpo::kSetDataSize && !confirm_data_size) return;
    if (command == cpo::kSetControl && payload.size() > 1 && payload[1] == cpo::kAskDtr) {
      if (!can_tell_dtr) {
        Confirm(answer);  // the question back
        return;
      }
      answer[1] = cpo::kDtrOn;
    }
    if (command == cpo::kSetControl && payload.size() > 1 && payload[1] != cpo::kAskDtr &&
        !can_tell_dtr) {
      return;  // no modem lines to set
    }
    if (command == cpo::kSetModemStateMask) {
      Confirm(answer);
      Confirm({cpo::kServerOffset + cpo::kNotifyModemState, modem_state});
      return;
    }
    Confirm(answer);
  }

  void Confirm(const Bytes& payload) { AppendSubnegotiation(kComPortOption, payload, &to_client); }

  // The script.
  bool answers_answers = false;
  bool baud_twice = false;
  bool confirm_data_size = true;
  bool can_tell_dtr = true;
  std::uint8_t modem_state = 0;
  Bytes after_agreeing;  // sent right after answering the client's three asks

  Reader reader;
  Bytes to_client;
  Bytes data;
  Bytes sent;  // as it came off the wire
  int negotiations_seen = 0;
};

class ScriptedChannel : public ByteChannel {
 public:
  explicit ScriptedChannel(std::shared_ptr<Server> server) : server_(std::move(server)) {}

  bool Send(const std::uint8_t* bytes, std::size_t count) override {
    server_->sent.insert(server_->sent.end(), bytes, bytes + count);
    server_->reader.Feed(bytes, count, *server_);
    return true;
  }

  int Receive(std::uint8_t* buffer, std::size_t size, int wait_ms) override {
    Bytes& queued = server_->to_client;
    if (queued.empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
      return 0;
    }
    const std::size_t count = std::min(size, queued.size());
    std::copy(queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(count), buffer);
    queued.erase(queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(count));
    return static_cast<int>(count);
  }

  int error_code() const override { return 0; }
  bool closed() const override { return false; }

 private:
  std::shared_ptr<Server> server_;
};

LineSettings Line9600() {
  LineSettings line;
  line.baud = 9600;
  return line;
}

struct Opened {
  std::unique_ptr<SerialDevice> device;
  DeviceError why;
};

Opened Open(const std::shared_ptr<Server>& server) {
  Opened opened;
  opened.device =
      OpenRfc2217Device(std::make_unique<ScriptedChannel>(server), &opened.why, nullptr);
  return opened;
}

TEST(Rfc2217DeviceTest, TakesALineOnceEverySettingIsConfirmed) {
  auto server = std::make_shared<Server>();
  server->modem_state = uart::kClearToSend | uart::kDataSetReady;
  Opened opened = Open(server);
  ASSERT_NE(opened.device, nullptr) << static_cast<int>(opened.why.server.kind);
  opened.device->ApplyLineSettings(Line9600(), 0);
  EXPECT_FALSE(opened.device->gone());
  const ModemLines lines = opened.device->ReadModemLines(0);
  EXPECT_TRUE(lines.present);
  EXPECT_TRUE(lines.clear_to_send);
}

TEST(Rfc2217DeviceTest, AServerThatAnswersOneSettingTwiceHasNotConfirmedTheOthers) {
  auto server = std::make_shared<Server>();
  server->baud_twice = true;
  server->confirm_data_size = false;
  Opened opened = Open(server);
  ASSERT_NE(opened.device, nullptr) << static_cast<int>(opened.why.server.kind);
  opened.device->ApplyLineSettings(Line9600(), 0);
  ASSERT_TRUE(opened.device->gone());
  const ServerFault& fault = opened.device->gone_why().server;
  EXPECT_EQ(fault.kind, ServerFault::Kind::kLineUnconfirmed);
  EXPECT_EQ(fault.asked.baud, 9600u);
  EXPECT_EQ(fault.asked.data_bits, 8);
}

TEST(Rfc2217DeviceTest, AServerThatTurnsBinaryOffAfterAgreeingHasRefusedIt) {
  auto server = std::make_shared<Server>();
  AppendNegotiation(kWont, kBinary, &server->after_agreeing);
  Opened opened = Open(server);
  EXPECT_EQ(opened.device, nullptr);
  EXPECT_EQ(opened.why.server.kind, ServerFault::Kind::kNoBinary);
  // The refusal acknowledged once, and nothing asked again.
  EXPECT_EQ(server->negotiations_seen, 4);
}

TEST(Rfc2217DeviceTest, AServerThatAnswersEveryAnswerStartsNoLoop) {
  auto server = std::make_shared<Server>();
  server->answers_answers = true;
  // Options offered and asked for unasked, besides answering ours: two
  // declined, one agreed to.
  AppendNegotiation(kWill, kEcho, &server->to_client);
  AppendNegotiation(kDo, 24, &server->to_client);
  AppendNegotiation(kWill, kSuppressGoAhead, &server->to_client);
  Opened opened = Open(server);
  ASSERT_NE(opened.device, nullptr) << static_cast<int>(opened.why.server.kind);
  const int after_open = server->negotiations_seen;
  for (int i = 0; i < 20; ++i) opened.device->Check();
  // Our three asks and one answer to each of the server's three offers.
  EXPECT_EQ(after_open, 6);
  EXPECT_EQ(server->negotiations_seen, after_open) << "the client kept answering answers";
  EXPECT_TRUE(server->to_client.empty());
}

TEST(Rfc2217DeviceTest, ModemLinesCountWhereTheServerHasThem) {
  // Can tell DTR and reports CTS down: a cable without CTS.
  {
    auto server = std::make_shared<Server>();
    server->modem_state = uart::kDataSetReady;
    Opened opened = Open(server);
    ASSERT_NE(opened.device, nullptr);
    opened.device->ApplyLineSettings(Line9600(), 0);
    const ModemLines lines = opened.device->ReadModemLines(0);
    EXPECT_TRUE(lines.present);
    EXPECT_FALSE(lines.clear_to_send);
  }
  // Asks back about DTR and reports every line down: a pseudo-terminal
  // behind the server, whose unit counts as ready.
  {
    auto server = std::make_shared<Server>();
    server->can_tell_dtr = false;
    Opened opened = Open(server);
    ASSERT_NE(opened.device, nullptr);
    opened.device->ApplyLineSettings(Line9600(), 0);
    EXPECT_FALSE(opened.device->gone());
    EXPECT_FALSE(opened.device->ReadModemLines(0).present);
  }
  // Asks back about DTR but reports carrier up: it has modem lines, and its
  // CTS, down, counts.
  {
    auto server = std::make_shared<Server>();
    server->can_tell_dtr = false;
    server->modem_state = uart::kCarrierDetect;
    Opened opened = Open(server);
    ASSERT_NE(opened.device, nullptr);
    opened.device->ApplyLineSettings(Line9600(), 0);
    const ModemLines lines = opened.device->ReadModemLines(0);
    EXPECT_TRUE(lines.present);
    EXPECT_FALSE(lines.clear_to_send);
  }
}

TEST(RawTcpDeviceTest, PassesBytesAsTheyAreAndTakesATelnetServerForAMixUp) {
  {
    auto server = std::make_shared<Server>();
    auto device = MakeRawTcpDevice(std::make_unique<ScriptedChannel>(server));
    device->TransmitByte(kIac);
    EXPECT_EQ(server->sent, Bytes{kIac}) << "a raw server gets 0xFF as it is, not doubled";
    server->to_client = {'A'};
    const QueueFacts queues = device->ReadQueues(50);
    EXPECT_TRUE(queues.byte_waiting);
    EXPECT_TRUE(queues.output_drained);
    EXPECT_EQ(device->ReceiveByte(), 'A');
    EXPECT_FALSE(device->ReadModemLines(0).present);
  }
  {
    auto server = std::make_shared<Server>();
    auto device = MakeRawTcpDevice(std::make_unique<ScriptedChannel>(server));
    AppendNegotiation(kDo, kBinary, &server->to_client);
    EXPECT_FALSE(device->Check());
    EXPECT_EQ(device->gone_why().mix_up, ServerMixUp::kTelnetServer);
  }
}

}  // namespace
