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

// Where each option stands, for our side (what we will do: asked by DO and
// DONT, answered by WILL and WONT) and for the peer's (WILL and WONT, answered
// by DO and DONT) apart, with the asks still unanswered (RFC 1143's states).
// An answer to an ask gets no answer back and a side already as asked stays
// silent, so no negotiation loop can start however the peer behaves.
class OptionTable {
 public:
  enum class State { kNo, kYes, kWantNo, kWantYes };
  enum class Side { kUs, kHim };

  // The options this side agrees to when the peer asks or offers them; every
  // other is declined.
  void Accept(Side side, std::uint8_t option) { sides_[Index(side)][option].accepted = true; }

  // Asks for an option on a side, which is then also wanted: a peer that
  // declines it or later turns it off has refused it. Appends the ask, unless
  // the side is already there or asked.
  void Ask(Side side, std::uint8_t option, std::vector<std::uint8_t>* out);

  // A negotiation from the peer: the table moves on, and whatever answer it
  // needs is appended.
  void Receive(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>* out);

  State state(Side side, std::uint8_t option) const { return sides_[Index(side)][option].state; }
  bool enabled(Side side, std::uint8_t option) const { return state(side, option) == State::kYes; }
  // Wanted, and the peer declined it or turned it off.
  bool refused(Side side, std::uint8_t option) const {
    const Entry& entry = sides_[Index(side)][option];
    return entry.wanted && entry.state == State::kNo;
  }

 private:
  struct Entry {
    State state = State::kNo;
    bool accepted = false;
    bool wanted = false;
  };
  static int Index(Side side) { return side == Side::kUs ? 0 : 1; }

  Entry sides_[2][256];
};

// A data byte as it goes on the wire: 0xFF doubled.
void AppendData(std::uint8_t byte, std::vector<std::uint8_t>* out);
void AppendNegotiation(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>* out);
void AppendSubnegotiation(std::uint8_t option, const std::vector<std::uint8_t>& payload,
                          std::vector<std::uint8_t>* out);

}  // namespace telnet
