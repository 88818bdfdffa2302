#include "serial/comm_port_io.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "banner/frame.h"
#include "serial/uart_driver.h"

// These tests run through run_with_peer.sh: COM1 is a pseudo-terminal whose
// far end answers every byte with its complement and logs it with the line
// settings it arrived with; COM2 appears only when the test asks for it.

namespace {

constexpr std::uint16_t kCom1 = 0x3F8;
constexpr std::uint16_t kCom2 = 0x2F8;
constexpr std::uint16_t kLineControl = 3;
constexpr std::uint16_t kFifoControl = 2;
constexpr std::uint16_t kLineStatus = 5;
constexpr std::uint16_t kModemStatus = 6;
constexpr std::uint8_t kDataReady = 0x01;
constexpr std::uint8_t kTransmitterIdle = 0x20 | 0x40;
constexpr std::uint8_t kCts = 0x10;
constexpr std::uint8_t kStaleRequest = 0xEE;  // the peer answers it three times
constexpr std::uint8_t kLateRequest = 0xDD;   // the peer answers it after 100 ms

struct Received {
  std::string port;
  int byte;
  int baud;
  int data_bits;
  char parity;
  int stop_bits;
};

// The folder of the peer's links and files, as a Windows path.
std::string LinesDir() {
  const char* lines = std::getenv("KORVEL_COMM_LINES");
  if (lines == nullptr) return std::string();
  std::string path = std::string("Z:") + lines;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::vector<Received> ReadLog() {
  std::vector<Received> log;
  std::ifstream file(LinesDir() + "\\received.log");
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    Received r;
    fields >> r.port >> std::hex >> r.byte >> std::dec >> r.baud >> r.data_bits >> r.parity >>
        r.stop_bits;
    if (fields) log.push_back(r);
  }
  return log;
}

std::vector<Received> LogSince(std::size_t mark) {
  std::vector<Received> log = ReadLog();
  if (mark > log.size()) return {};
  return std::vector<Received>(log.begin() + mark, log.end());
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Lets every byte the peer sends arrive; the pty delivers them within a
// moment, but nothing tells when the last of several has.
void LetLineSettle() { std::this_thread::sleep_for(std::chrono::milliseconds(200)); }

class CommPortIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(LinesDir().empty()) << "run this test through run_with_peer.sh";
  }

  CommPortIo io_;
  SteadyClock clock_;
  UartDriver driver_{io_, clock_};
};

TEST_F(CommPortIoTest, FramesReachTheUnitByteForByteAtNineHundredBaudEightNOne) {
  const std::size_t mark = ReadLog().size();
  driver_.InitPort(1);

  std::vector<int> sent;
  for (const Frame& frame : {BlankFrame(), MessageFrame("KORVEL\r\nline two")}) {
    for (std::uint8_t byte : frame) {
      ASSERT_EQ(driver_.SendByte(1, byte), SendStatus::kSent) << "byte " << sent.size();
      sent.push_back(byte);
      if (byte == kSub) break;
    }
  }

  const std::vector<Received> log = LogSince(mark);
  ASSERT_EQ(log.size(), sent.size());
  for (std::size_t i = 0; i < log.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(log[i].port, "com1");
    EXPECT_EQ(log[i].byte, sent[i]);
    EXPECT_EQ(log[i].baud, 9600);
    EXPECT_EQ(log[i].data_bits, 8);
    EXPECT_EQ(log[i].parity, 'N');
    EXPECT_EQ(log[i].stop_bits, 1);
  }
}

TEST_F(CommPortIoTest, AnswerIsReadThroughTheReceiveBuffer) {
  driver_.InitPort(1);
  EXPECT_EQ(io_.In(kCom1 + kLineStatus) & kTransmitterIdle, kTransmitterIdle);
  // A pseudo-terminal has no modem lines: CTS counts as up.
  EXPECT_EQ(io_.In(kCom1 + kModemStatus) & kCts, kCts);

  for (std::uint8_t byte : {0x00, 0x41, 0x80, 0xFF}) {
    SCOPED_TRACE(static_cast<int>(byte));
    io_.Out(kCom1, byte);
    ASSERT_TRUE(WaitUntil([&] { return (io_.In(kCom1 + kLineStatus) & kDataReady) != 0; }));
    EXPECT_EQ(io_.In(kCom1), static_cast<std::uint8_t>(~byte));
    EXPECT_EQ(io_.In(kCom1 + kLineStatus) & kDataReady, 0);
  }
}

TEST_F(CommPortIoTest, ReceiveBufferReadLaterStillGetsTheByte) {
  // A status read that found the receiver empty says nothing about a read of
  // the receive buffer that comes after some other access.
  driver_.InitPort(1);
  io_.Out(kCom1, kLateRequest);
  EXPECT_EQ(io_.In(kCom1 + kLineStatus) & kDataReady, 0);
  LetLineSettle();
  io_.In(kCom1 + kLineControl);
  EXPECT_EQ(io_.In(kCom1), static_cast<std::uint8_t>(~kLateRequest));
}

TEST_F(CommPortIoTest, DivisorAndLineControlBecomeThePortSettings) {
  // A pseudo-terminal keeps 8 data bits and no parity whatever it is told, so
  // the rate and the stop bits are what can be seen at its far end.
  driver_.InitPort(1);
  // 115200 / 48 = 2400 baud; 8 data bits, no parity, 2 stop bits.
  io_.Out(kCom1 + kLineControl, 0x80);
  io_.Out(kCom1 + 0, 48);
  io_.Out(kCom1 + 1, 0);
  EXPECT_EQ(io_.In(kCom1 + 0), 48);  // the latch reads back while it is open
  EXPECT_EQ(io_.In(kCom1 + 1), 0);
  io_.Out(kCom1 + kLineControl, 0x07);
  EXPECT_EQ(io_.In(kCom1 + kLineControl), 0x07);

  std::size_t mark = ReadLog().size();
  ASSERT_EQ(driver_.SendByte(1, 'S'), SendStatus::kSent);
  std::vector<Received> log = LogSince(mark);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].byte, 'S');
  EXPECT_EQ(log[0].baud, 2400);
  EXPECT_EQ(log[0].stop_bits, 2);

  // Programming the port again puts the line back.
  driver_.InitPort(1);
  mark = ReadLog().size();
  ASSERT_EQ(driver_.SendByte(1, 'T'), SendStatus::kSent);
  log = LogSince(mark);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].baud, 9600);
  EXPECT_EQ(log[0].stop_bits, 1);
}

TEST_F(CommPortIoTest, ClearingTheReceiveFifoDropsWaitingBytes) {
  driver_.InitPort(1);
  io_.Out(kCom1, kStaleRequest);
  ASSERT_TRUE(WaitUntil([&] { return (io_.In(kCom1 + kLineStatus) & kDataReady) != 0; }));
  LetLineSettle();

  io_.Out(kCom1 + kFifoControl, 0x07);
  EXPECT_EQ(io_.In(kCom1 + kLineStatus) & kDataReady, 0);
}

TEST_F(CommPortIoTest, StaleBytesAreReadAwayBeforeTheNextByte) {
  driver_.InitPort(1);
  io_.Out(kCom1, kStaleRequest);
  ASSERT_TRUE(WaitUntil([&] { return (io_.In(kCom1 + kLineStatus) & kDataReady) != 0; }));
  LetLineSettle();

  const std::size_t mark = ReadLog().size();
  ASSERT_EQ(driver_.SendByte(1, 'D'), SendStatus::kSent);
  // The three stale bytes and the answer are all gone.
  EXPECT_EQ(io_.In(kCom1 + kLineStatus) & kDataReady, 0);
  const std::vector<Received> log = LogSince(mark);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].byte, 'D');
}

TEST_F(CommPortIoTest, MissingPortIsAbsentUntilItAppears) {
  EXPECT_FALSE(io_.Present(kCom2));
  EXPECT_EQ(io_.In(kCom2 + kLineStatus), 0xFF);
  driver_.InitPort(2);
  EXPECT_EQ(driver_.SendByte(2, 'x'), SendStatus::kPortMissing);

  // The line turns up later: the same object opens it on its next use.
  std::ofstream(LinesDir() + "\\open-com2") << "open\n";
  ASSERT_TRUE(WaitUntil([&] { return io_.Present(kCom2); }));

  driver_.InitPort(2);
  const std::size_t mark = ReadLog().size();
  ASSERT_EQ(driver_.SendByte(2, '2'), SendStatus::kSent);
  const std::vector<Received> log = LogSince(mark);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].port, "com2");
  EXPECT_EQ(log[0].byte, '2');
  EXPECT_EQ(log[0].baud, 9600);

  // COM1 is a port of its own and still works.
  EXPECT_EQ(driver_.SendByte(1, '1'), SendStatus::kSent);
}

TEST_F(CommPortIoTest, AddressesOfNoPortAreAbsent) {
  EXPECT_TRUE(io_.Present(kCom1));
  EXPECT_FALSE(io_.Present(0x3E8));
  EXPECT_FALSE(io_.Present(kCom1 + 1));
  EXPECT_EQ(io_.In(0x3E8 + kLineStatus), 0xFF);
  io_.Out(0x3E8, 'z');  // goes nowhere, and must not fall on COM1
  LetLineSettle();
  for (const Received& r : ReadLog()) EXPECT_NE(r.byte, 'z');
}

}  // namespace
