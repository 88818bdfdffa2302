#include "network/telnet.h"

namespace telnet {

void Reader::Feed(const std::uint8_t* bytes, std::size_t count, Handler& handler) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t byte = bytes[i];
    switch (state_) {
      case State::kData:
        if (byte == kIac) {
          state_ = State::kCommand;
        } else {
          handler.Data(byte);
        }
        break;
      case State::kCommand:
        state_ = State::kData;
        if (byte == kIac) {
          handler.Data(kIac);
        } else if (byte >= kWill && byte <= kDont) {
          verb_ = byte;
          state_ = State::kOption;
        } else if (byte == kSb) {
          state_ = State::kSubOption;
        }
        break;
      case State::kOption:
        handler.Negotiation(verb_, byte);
        state_ = State::kData;
        break;
      case State::kSubOption:
        sub_option_ = byte;
        payload_.clear();
        state_ = State::kSubData;
        break;
      case State::kSubData:
        if (byte == kIac) {
          state_ = State::kSubCommand;
        } else if (payload_.size() < kLongestPayload) {
          payload_.push_back(byte);
        }
        break;
      case State::kSubCommand:
        if (byte == kSe) {
          handler.Subnegotiation(sub_option_, payload_);
          state_ = State::kData;
        } else {
          // A doubled IAC is a payload byte; anything else in a
          // subnegotiation is not defined and is dropped.
          if (byte == kIac && payload_.size() < kLongestPayload) payload_.push_back(kIac);
          state_ = State::kSubData;
        }
        break;
    }
  }
}

void OptionTable::Ask(Side side, std::uint8_t option, std::vector<std::uint8_t>* out) {
  Entry& entry = sides_[Index(side)][option];
  entry.wanted = true;
  if (entry.state != State::kNo) return;
  entry.state = State::kWantYes;
  AppendNegotiation(side == Side::kUs ? kWill : kDo, option, out);
}

void OptionTable::Receive(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>* out) {
  const Side side = verb == kDo || verb == kDont ? Side::kUs : Side::kHim;
  const bool yes = verb == kDo || verb == kWill;
  const std::uint8_t agree = side == Side::kUs ? kWill : kDo;
  const std::uint8_t decline = side == Side::kUs ? kWont : kDont;
  Entry& entry = sides_[Index(side)][option];
  switch (entry.state) {
    case State::kNo:
      // Asked or offered afresh: answered once, yes or no.
      if (!yes) break;
      if (entry.accepted || entry.wanted) {
        entry.state = State::kYes;
        AppendNegotiation(agree, option, out);
      } else {
        AppendNegotiation(decline, option, out);
      }
      break;
    case State::kYes:
      // Turned off after it was agreed: acknowledged once.
      if (yes) break;
      entry.state = State::kNo;
      AppendNegotiation(decline, option, out);
      break;
    case State::kWantYes:
      // The answer to our ask.
      entry.state = yes ? State::kYes : State::kNo;
      break;
    case State::kWantNo:
      // The answer to our turning it off; a yes here breaks the rules, and
      // the option stays off rather than start another round.
      entry.state = State::kNo;
      break;
  }
}

void AppendData(std::uint8_t byte, std::vector<std::uint8_t>* out) {
  out->push_back(byte);
  if (byte == kIac) out->push_back(kIac);
}

void AppendNegotiation(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>* out) {
  out->insert(out->end(), {kIac, verb, option});
}

void AppendSubnegotiation(std::uint8_t option, const std::vector<std::uint8_t>& payload,
                          std::vector<std::uint8_t>* out) {
  out->insert(out->end(), {kIac, kSb, option});
  for (std::uint8_t byte : payload) AppendData(byte, out);
  out->insert(out->end(), {kIac, kSe});
}

}  // namespace telnet
