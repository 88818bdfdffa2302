#pragma once
#include <cstdint>

// The 16550 register map: offsets from a port's base and the bits used here.
// The driver, the register file, the stand-ins and the simulated UART all
// speak it.
namespace uart {

constexpr std::uint16_t kCom1Base = 0x3F8;
constexpr std::uint16_t kCom2Base = 0x2F8;

// Offsets from the base.
constexpr int kData = 0;             // receive buffer / transmit holding / divisor low
constexpr int kInterruptEnable = 1;  // divisor high while the divisor latch is open
constexpr int kFifoControl = 2;      // reads back as the interrupt identification
constexpr int kLineControl = 3;
constexpr int kModemControl = 4;
constexpr int kLineStatus = 5;
constexpr int kModemStatus = 6;
constexpr int kScratch = 7;
constexpr int kRegisterCount = 8;

// The divisor: the chip's 1.8432 MHz clock over 16 gives 115200 baud at 1.
constexpr std::uint32_t kBaudAtDivisorOne = 115200;

// Interrupt enable: four sources; the upper bits read as zero.
constexpr std::uint8_t kInterruptEnableBits = 0x0F;

// Line control.
constexpr std::uint8_t kWordLengthBits = 0x03;  // 5 + this many data bits
constexpr std::uint8_t kEightDataBits = 0x03;
constexpr std::uint8_t kTwoStopBits = 0x04;
constexpr std::uint8_t kParityOn = 0x08;
constexpr std::uint8_t kEvenParity = 0x10;
constexpr std::uint8_t kStickParity = 0x20;   // with even: always 0, without: always 1
constexpr std::uint8_t kDivisorLatch = 0x80;

// FIFO control.
constexpr std::uint8_t kFifoEnable = 0x01;
constexpr std::uint8_t kClearReceiver = 0x02;
constexpr std::uint8_t kClearTransmitter = 0x04;
constexpr std::uint8_t kTriggerAt14 = 0xC0;  // receive FIFO trigger level

// Interrupt identification (the read side of FIFO control).
constexpr std::uint8_t kNoInterruptPending = 0x01;
constexpr std::uint8_t kFifosEnabled = 0xC0;

// Modem control: the upper three bits read as zero.
constexpr std::uint8_t kDtr = 0x01;
constexpr std::uint8_t kRts = 0x02;
constexpr std::uint8_t kOut1 = 0x04;
constexpr std::uint8_t kOut2 = 0x08;
constexpr std::uint8_t kLoopback = 0x10;
constexpr std::uint8_t kModemControlBits = 0x1F;

// Line status.
constexpr std::uint8_t kDataReady = 0x01;
constexpr std::uint8_t kOverrun = 0x02;
constexpr std::uint8_t kParityError = 0x04;
constexpr std::uint8_t kFramingError = 0x08;
constexpr std::uint8_t kBreak = 0x10;
constexpr std::uint8_t kHoldingEmpty = 0x20;
constexpr std::uint8_t kTransmitterEmpty = 0x40;  // holding and shift registers both empty

// Modem status.
constexpr std::uint8_t kDeltaClearToSend = 0x01;
constexpr std::uint8_t kClearToSend = 0x10;
constexpr std::uint8_t kDataSetReady = 0x20;
constexpr std::uint8_t kRingIndicator = 0x40;
constexpr std::uint8_t kCarrierDetect = 0x80;

// What an I/O address with nothing behind it reads as.
constexpr std::uint8_t kNothingThere = 0xFF;

// The modem status a stand-in gives for a line without modem signals (a
// pseudo-terminal, some adapters): a unit that is always ready.
constexpr std::uint8_t kModemLinesAssumedUp = kClearToSend | kDataSetReady | kCarrierDetect;

}  // namespace uart
