#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// What of Telnet (RFC 854, 855) carries a serial line over TCP:
// data bytes, option negotiation and subnegotiation.
namespace telnet {

constexpr std::uint8_t kIac = 255;  // "interpret as command"; doubled, a data byte 0xFF
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;  // subnegotiation begins
constexpr std::uint8_t kSe = 240;  // subnegotiation ends

constexpr std::uint8_t kBinary = 0;
constexpr std::uint8_t kEcho = 1;
constexpr std::uint8_t kSuppressGoAhead = 3;
constexpr std::uint8_t kComPortOption = 44;  // RFC 2217

// What a reader finds in the stream, besides data.
class Handler {
 public:
  virtual void Data(std::uint8_t byte) = 0;
  // WILL, WONT, DO or DONT for an option.
  virtual void Negotiation(std::uint8_t verb, std::uint8_t option) = 0;
  // IAC SB option payload IAC SE, the payload's doubled IACs undone.
  virtual void Subnegotiation(std::uint8_t option, const std::vector<std::uint8_t>& payload) = 0;

 protected:
  ~Handler() = default;
};

// Splits what a peer sends into data and commands, across reads: a command
// may be cut anywhere between two reads. Every input byte is looked at once;
// no command is ever taken for data. Other commands (NOP, GA, ...) are
// dropped, so is an IAC followed by anything undefined, and a subnegotiation
// longer than kLongestPayload keeps only its first bytes.
class Reader {
 public:
  static constexpr std::size_t kLongestPayload = 64;

  void Feed(const std::uint8_t* bytes, std::size_t count, Handler& handler);

 private:
  enum class State { kData, kCommand, kOption, kSubOption, kSubData, kSubCommand };

  State state_ = State::kData;
  std::uint8_t verb_ = 0;
  std::uint8_t sub_option_ = 0;
  std::vector<std::uint8_t> payload_;
};

// A data byte as it goes on the wire: 0xFF doubled.
void AppendData(std::uint8_t byte, std::vector<std::uint8_t>* out);
void AppendNegotiation(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>* out);
void AppendSubnegotiation(std::uint8_t option, const std::vector<std::uint8_t>& payload,
                          std::vector<std::uint8_t>* out);

}  // namespace telnet
