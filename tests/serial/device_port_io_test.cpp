// DevicePortIo builds the status registers from what a device reports, and
// decides alone when a device may wait: a device of the test's own records
// each wait it was offered.
#include "serial/device_port_io.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "serial/uart_registers.h"

namespace {

using namespace uart;

struct Reported {
  QueueFacts queues;
  ModemLines lines;
  std::vector<int> queue_waits;
  std::vector<int> modem_waits;
};

class ReportingDevice : public SerialDevice {
 public:
  explicit ReportingDevice(Reported* reported) : reported_(reported) {}
  bool Check() override { return true; }
  void ApplyLineSettings(const LineSettings&, std::uint8_t) override {}
  void ApplyModemControl(std::uint8_t) override {}
  QueueFacts ReadQueues(int wait_ms) override {
    reported_->queue_waits.push_back(wait_ms);
    return reported_->queues;
  }
  ModemLines ReadModemLines(int wait_ms) override {
    reported_->modem_waits.push_back(wait_ms);
    return reported_->lines;
  }
  std::uint8_t ReceiveByte() override { return 'A'; }
  void TransmitByte(std::uint8_t) override {}
  void Clear(bool, bool) override {}

 private:
  Reported* reported_;
};

class ReportingPortIo : public DevicePortIo {
 public:
  explicit ReportingPortIo(Reported* reported)
      : DevicePortIo({{kCom1Base, "reporting"}}), reported_(reported) {}

 private:
  std::unique_ptr<SerialDevice> OpenDevice(const std::string&, DeviceError*) override {
    return std::make_unique<ReportingDevice>(reported_);
  }
  Reported* reported_;
};

class DevicePortIoTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(io_.Present(kCom1Base)); }
  std::uint8_t Lsr() { return io_.In(kCom1Base + kLineStatus); }
  std::uint8_t Msr() { return io_.In(kCom1Base + kModemStatus); }

  Reported reported_;
  ReportingPortIo io_{&reported_};
};

TEST_F(DevicePortIoTest, BuildsTheStatusRegistersFromWhatTheDeviceReports) {
  reported_.queues.output_drained = true;
  EXPECT_EQ(Lsr(), kHoldingEmpty | kTransmitterEmpty);
  reported_.queues = QueueFacts{};
  reported_.queues.byte_waiting = true;
  reported_.queues.overrun = true;
  reported_.queues.framing_error = true;
  EXPECT_EQ(Lsr(), kDataReady | kOverrun | kFramingError);

  reported_.lines.clear_to_send = true;
  reported_.lines.carrier_detect = true;
  EXPECT_EQ(Msr(), kClearToSend | kCarrierDetect);
  reported_.lines = ModemLines{};
  reported_.lines.present = false;
  EXPECT_EQ(Msr(), kModemLinesAssumedUp) << "a line without modem lines has a unit always ready";
}

TEST_F(DevicePortIoTest, OffersAWaitOnlyToAReaderThatIsWaiting) {
  // Nothing received: the next status read is the driver waiting for a byte.
  EXPECT_EQ(Lsr() & kDataReady, 0);
  EXPECT_EQ(Lsr() & kDataReady, 0);
  // Any other access in between ends the wait.
  io_.In(kCom1Base + kData);
  EXPECT_EQ(Lsr() & kDataReady, 0);
  EXPECT_EQ(reported_.queue_waits,
            (std::vector<int>{0, DevicePortIo::kIdleWaitMs, 0}));

  // CTS down: the next modem status read may wait for it to rise.
  reported_.lines.clear_to_send = false;
  Msr();
  Msr();
  reported_.lines.clear_to_send = true;
  Msr();
  Msr();
  EXPECT_EQ(reported_.modem_waits, (std::vector<int>{0, DevicePortIo::kIdleWaitMs,
                                                     DevicePortIo::kIdleWaitMs, 0}));
}

}  // namespace
