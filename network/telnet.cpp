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
