// The UART driver on a bare PC, QEMU's. Programs the port that the command
// line names ("port=2" is COM2, anything else COM1), reports what its
// registers read back, waits for the unit's first byte and leaves it in the
// receiver, sends the blank frame and a message frame as a programming run
// does, then reports what is left in the receiver. The host plays the unit on
// the far end of the line and judges the report, one line per step:
//
//   port base=3F8
//   init dll=0C dlm=00 ier=00 iir=C1 lcr=03 mcr=0B lsr=60 msr=B0
//   start lsr=61
//   frame blank sent=61 status=sent ms=40
//   frame message sent=4 status=no-answer ms=3001
//   after lsr=60
//   end
#include <cstdint>
#include <string_view>

#include "banner/frame.h"
#include "serial/uart_driver.h"
#include "serial/uart_registers.h"
#include "tests/hw/pit_clock.h"
#include "tests/hw/qemu_debug.h"
#include "tests/hw/x86_io.h"

namespace {

using namespace uart;
using qemu_debug::Write;
using qemu_debug::WriteDecimal;
using qemu_debug::WriteHex;

constexpr std::uint32_t kLoaderMagic = 0x2BADB002;
constexpr std::uint32_t kHasCommandLine = 1u << 2;

// The start of the information block a multiboot loader passes.
struct MultibootInfo {
  std::uint32_t flags;
  std::uint32_t mem_lower;
  std::uint32_t mem_upper;
  std::uint32_t boot_device;
  std::uint32_t command_line;  // address of a C string
};

constexpr char kMessage[] = "KORVEL on a 16550\r\nunder QEMU";

// Long enough for QEMU to notice the host on its terminal and pass a byte on.
constexpr std::int64_t kFirstByteLimitMs = 10000;
// Long enough for an answer that the driver did not wait for to arrive.
constexpr std::int64_t kSettleMs = 200;

int PortFromCommandLine(const MultibootInfo& info) {
  if ((info.flags & kHasCommandLine) == 0) return 1;
  constexpr char kCom2[] = " port=2";
  for (auto* line = reinterpret_cast<const char*>(info.command_line); *line != '\0'; ++line) {
    int i = 0;
    while (kCom2[i] != '\0' && line[i] == kCom2[i]) ++i;
    if (kCom2[i] == '\0') return 2;
  }
  return 1;
}

void WriteRegister(const char* name, std::uint8_t value) {
  Write(" ");
  Write(name);
  Write("=");
  WriteHex(value, 2);
}

void ReportRegisters(PortIo& io, std::uint16_t base) {
  // The divisor is only readable behind the latch; the line control is put
  // back as it was.
  const std::uint8_t line_control = io.In(base + kLineControl);
  io.Out(base + kLineControl, line_control | kDivisorLatch);
  const std::uint8_t divisor_low = io.In(base + kData);
  const std::uint8_t divisor_high = io.In(base + kInterruptEnable);
  io.Out(base + kLineControl, line_control);

  Write("init");
  WriteRegister("dll", divisor_low);
  WriteRegister("dlm", divisor_high);
  WriteRegister("ier", io.In(base + kInterruptEnable));
  WriteRegister("iir", io.In(base + kFifoControl));
  WriteRegister("lcr", io.In(base + kLineControl));
  WriteRegister("mcr", io.In(base + kModemControl));
  WriteRegister("lsr", io.In(base + kLineStatus));
  WriteRegister("msr", io.In(base + kModemStatus));
  Write("\n");
}

void ReportLineStatus(const char* step, PortIo& io, std::uint16_t base) {
  Write(step);
  WriteRegister("lsr", io.In(base + kLineStatus));
  Write("\n");
}

bool WaitForFirstByte(PortIo& io, MonotonicClock& clock, std::uint16_t base) {
  const std::int64_t since = clock.NowMs();
  while ((io.In(base + kLineStatus) & kDataReady) == 0) {
    if (clock.NowMs() - since >= kFirstByteLimitMs) return false;
  }
  return true;
}

void Settle(MonotonicClock& clock) {
  const std::int64_t since = clock.NowMs();
  while (clock.NowMs() - since < kSettleMs) {
  }
}

const char* StatusName(SendStatus status) {
  switch (status) {
    case SendStatus::kSent: return "sent";
    case SendStatus::kPortMissing: return "port-missing";
    case SendStatus::kReceiverFlooded: return "receiver-flooded";
    case SendStatus::kTransmitterStuck: return "transmitter-stuck";
    case SendStatus::kNoCts: return "no-cts";
    case SendStatus::kNoAnswer: return "no-answer";
    case SendStatus::kGivenUp: return "given-up";
  }
  return "unknown";
}

// Sends the frame up to and including its first SUB and stops at a byte that
// fails, as a programming run does.
bool SendFrame(UartDriver& driver, MonotonicClock& clock, int port, const char* name,
               const Frame& frame) {
  const std::int64_t start = clock.NowMs();
  SendStatus status = SendStatus::kSent;
  std::uint32_t sent = 0;
  for (std::uint8_t byte : frame) {
    status = driver.SendByte(port, byte);
    if (status != SendStatus::kSent) break;
    ++sent;
    if (byte == kSub) break;
  }
  Write("frame ");
  Write(name);
  Write(" sent=");
  WriteDecimal(sent);
  Write(" status=");
  Write(StatusName(status));
  Write(" ms=");
  WriteDecimal(static_cast<std::uint32_t>(clock.NowMs() - start));
  Write("\n");
  return status == SendStatus::kSent;
}

}  // namespace

extern "C" [[noreturn]] void HarnessMain(std::uint32_t magic, const MultibootInfo* info) {
  if (magic != kLoaderMagic) qemu_debug::Fail("not started by a multiboot loader");
  const int port = PortFromCommandLine(*info);

  X86PortIo io;
  PitClock clock;
  UartDriver driver(io, clock);
  const std::uint16_t base = UartDriver::BaseFor(port);
  Write("port base=");
  WriteHex(base, 3);
  Write("\n");

  driver.InitPort(port);
  ReportRegisters(io, base);

  if (!WaitForFirstByte(io, clock, base)) qemu_debug::Fail("no byte from the unit");
  ReportLineStatus("start", io, base);

  if (SendFrame(driver, clock, port, "blank", BlankFrame())) {
    SendFrame(driver, clock, port, "message",
              MessageFrame(std::string_view(kMessage, sizeof kMessage - 1)));
  }
  Settle(clock);
  ReportLineStatus("after", io, base);
  Write("end\n");
  qemu_debug::Exit(qemu_debug::kDone);
}
