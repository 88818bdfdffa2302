// The termios stand-in on a pseudo-terminal of the test's own: what the
// registers become on the terminal, as termios and the far end see it.
#include "serial/posix_port_io.h"

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "serial/monotonic_clock.h"
#include "serial/uart_driver.h"
#include "serial/uart_registers.h"

namespace {

using namespace uart;

// The far end (master) in the test's hands, and a handle of its own on the
// near end, so that termios can be read there and the terminal outlives the
// stand-in, as korvel-unit keeps it.
struct PseudoTerminal {
  PseudoTerminal() {
    if (openpty(&master, &near, nullptr, nullptr, nullptr) == 0) path = ttyname(near);
  }
  ~PseudoTerminal() {
    close(near);
    close(master);
  }
  termios Settings() const {
    termios settings{};
    tcgetattr(near, &settings);
    return settings;
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What has come from the near end within a second, up to count bytes.
  std::string Receive(std::size_t count) {
    std::string got;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (got.size() < count && std::chrono::steady_clock::now() < give_up) {
      pollfd ready{master, POLLIN, 0};
      char byte = 0;
      if (poll(&ready, 1, 10) > 0 && read(master, &byte, 1) == 1) got.push_back(byte);
    }
    return got;
  }

  int master = -1, near = -1;
  std::string path;
};

class PosixPortIoTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(pty_.path.empty()) << "no pseudo-terminal"; }

  std::uint8_t LineStatus() { return io_.In(kCom1Base + kLineStatus); }
  // Bytes from the far end reach the near end's queue a moment after they
  // are written.
  bool WaitForDataReady() {
    for (int tries = 0; tries < 200; ++tries) {
      if (LineStatus() & kDataReady) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  PseudoTerminal pty_;
  PosixPortIo io_{{{kCom1Base, pty_.path}}};
  SteadyClock clock_;
  UartDriver driver_{io_, clock_};
};

TEST_F(PosixPortIoTest, InitPortAndLaterLinesShowOnTheTerminalKeepingWhatTheyDoNotSay) {
  // A terminal in its everyday cooked state, at another speed.
  termios cooked = pty_.Settings();
  cooked.c_iflag |= ICRNL | IXON | IUTF8;
  cooked.c_oflag |= OPOST | ONLCR;
  cooked.c_lflag |= ICANON | ECHO | ISIG;
  cooked.c_cflag |= HUPCL | PARENB | CSTOPB;
  cfsetspeed(&cooked, B2400);
  tcsetattr(pty_.near, TCSANOW, &cooked);

  driver_.InitPort(1);
  termios line = pty_.Settings();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B9600));
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(line.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP | INPCK), 0u);
  EXPECT_EQ(line.c_oflag & OPOST, 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(line.c_cc[VMIN], 0);
  EXPECT_EQ(line.c_cc[VTIME], 0);
  // Read, changed, written back: flags the registers do not speak of stay.
  EXPECT_NE(line.c_iflag & IUTF8, 0u);
  EXPECT_NE(line.c_cflag & HUPCL, 0u);

  // Another line shows: speed, stop bits and the parity kind (a pseudo-terminal
  // keeps 8 data bits and no parity whatever it is told; TermiosLineTest
  // covers those). A rate termios has no name for (115200 / 5) leaves the
  // line as it was.
  const std::uint8_t two_stop_mark = kEightDataBits | kTwoStopBits | kParityOn | kStickParity;
  for (const auto& [divisor, format] : {std::pair<int, std::uint8_t>{3, two_stop_mark},
                                        std::pair<int, std::uint8_t>{5, kEightDataBits}}) {
    io_.Out(kCom1Base + kLineControl, kDivisorLatch);
    io_.Out(kCom1Base + kData, divisor & 0xFF);
    io_.Out(kCom1Base + kInterruptEnable, divisor >> 8);
    io_.Out(kCom1Base + kLineControl, format);
    line = pty_.Settings();
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B38400)) << divisor;
    EXPECT_EQ(line.c_cflag & (CSTOPB | PARODD | CMSPAR),
              static_cast<tcflag_t>(CSTOPB | PARODD | CMSPAR)) << divisor;
  }
}

TEST_F(PosixPortIoTest, BytesGoOutAndComeInThroughTheRegisters) {
  driver_.InitPort(1);
  EXPECT_EQ(LineStatus(), kHoldingEmpty | kTransmitterEmpty);
  // No modem lines on a pseudo-terminal: the unit counts as ready.
  EXPECT_EQ(io_.In(kCom1Base + kModemStatus), kModemLinesAssumedUp);

  io_.Out(kCom1Base + kData, 0x1A);
  EXPECT_EQ(pty_.Receive(1), "\x1A");
  pty_.Send("\x06\x15");
  ASSERT_TRUE(WaitForDataReady());
  EXPECT_EQ(io_.In(kCom1Base + kData), 0x06);
  EXPECT_EQ(io_.In(kCom1Base + kData), 0x15);
  EXPECT_EQ(LineStatus() & kDataReady, 0);
  EXPECT_EQ(io_.In(kCom1Base + kData), 0) << "an empty receiver reads zero";

  pty_.Send("stale");
  ASSERT_TRUE(WaitForDataReady());
  io_.Out(kCom1Base + kFifoControl, kFifoEnable | kClearReceiver | kClearTransmitter);
  EXPECT_EQ(LineStatus() & kDataReady, 0) << "clearing the receive FIFO left bytes";

  // The driver's whole exchange, with the far end answering while it waits.
  std::thread unit([&] {
    pty_.Receive(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pty_.Send("\x06");
  });
  EXPECT_EQ(driver_.SendByte(1, 'K'), SendStatus::kSent);
  unit.join();
  EXPECT_EQ(LineStatus() & kDataReady, 0) << "the answer was not taken";
}

TEST_F(PosixPortIoTest, AWaitForAnAnswerSleepsInsteadOfSpinning) {
  driver_.InitPort(1);
  const std::clock_t cpu_before = std::clock();
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(driver_.SendByte(1, 'K'), SendStatus::kNoAnswer);  // nobody answers
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - before;
  const double cpu = static_cast<double>(std::clock() - cpu_before) / CLOCKS_PER_SEC;
  EXPECT_GE(wall.count(), UartDriver::kTimeLimitMs / 1000.0);
  EXPECT_LT(cpu, wall.count() / 4) << "the status reads spun for the whole wait";
}

TEST_F(PosixPortIoTest, LedToAnotherDeviceTheUartTakesItsSettingsThereAndNothingGoesToTheFirst) {
  PseudoTerminal other;
  ASSERT_FALSE(other.path.empty()) << "no second pseudo-terminal";
  driver_.InitPort(1);
  io_.LeadTo(kCom1Base, other.path);

  // Opened on its next use, with the line last programmed.
  EXPECT_TRUE(io_.Present(kCom1Base));
  const termios line = other.Settings();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO), 0u);
  io_.Out(kCom1Base + kData, 'K');
  EXPECT_EQ(other.Receive(1), "K");
  EXPECT_EQ(pty_.Receive(1), "");

  // Led where nothing is, the port is missing, and says so.
  io_.LeadTo(kCom1Base, "/dev/korvel-test-no-such-line");
  EXPECT_FALSE(io_.Present(kCom1Base));
  EXPECT_EQ(io_.LastError(kCom1Base).problem, PortProblem::kNoSuchPort);
}

}  // namespace
