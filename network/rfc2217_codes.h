#pragma once
#include <cstdint>

// RFC 2217's COM-PORT-OPTION commands, as the client sends them; the server
// answers each with the same code plus kServerOffset.
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

// NOTIFY-MODEMSTATE bits: those of a 16550's modem status register.
constexpr std::uint8_t kDataSetReadyBit = 0x20;
constexpr std::uint8_t kCarrierDetectBit = 0x80;

}  // namespace cpo
