#include "network/rfc2217_settings.h"

#include "network/rfc2217_codes.h"

namespace {

std::uint8_t ParityCode(Parity parity) {
  switch (parity) {
    case Parity::kOdd: return cpo::kParityOdd;
    case Parity::kEven: return cpo::kParityEven;
    case Parity::kMark: return cpo::kParityMark;
    case Parity::kSpace: return cpo::kParitySpace;
    case Parity::kNone: break;
  }
  return cpo::kParityNone;
}

}  // namespace

ServerLine Rfc2217Settings::Line() const {
  ServerLine line;
  line.baud = baud;
  line.data_bits = data_size;
  switch (parity) {
    case cpo::kParityNone: line.parity = ServerLine::Parity::kNone; break;
    case cpo::kParityOdd: line.parity = ServerLine::Parity::kOdd; break;
    case cpo::kParityEven: line.parity = ServerLine::Parity::kEven; break;
    case cpo::kParityMark: line.parity = ServerLine::Parity::kMark; break;
    case cpo::kParitySpace: line.parity = ServerLine::Parity::kSpace; break;
    default: line.parity = ServerLine::Parity::kUnknown; break;
  }
  line.stop = stop_size == cpo::kTwoStopBits           ? ServerLine::Stop::kTwo
              : stop_size == cpo::kOneAndAHalfStopBits ? ServerLine::Stop::kOneAndAHalf
                                                       : ServerLine::Stop::kOne;
  return line;
}

Rfc2217Settings Rfc2217Settings::For(const LineSettings& line) {
  Rfc2217Settings asked;
  asked.baud = line.baud;
  asked.data_size = static_cast<std::uint8_t>(line.data_bits);
  asked.parity = ParityCode(line.parity);
  asked.stop_size = !line.long_stop        ? cpo::kOneStopBit
                    : line.data_bits == 5 ? cpo::kOneAndAHalfStopBits
                                          : cpo::kTwoStopBits;
  return asked;
}

bool Rfc2217Settings::Take(const std::vector<std::uint8_t>& payload) {
  if (payload.size() < 2) return false;
  const std::uint8_t value = payload[1];
  switch (payload[0]) {
    case cpo::kServerOffset + cpo::kSetBaudRate:
      if (payload.size() < 5) return true;
      baud = static_cast<std::uint32_t>(payload[1]) << 24 |
             static_cast<std::uint32_t>(payload[2]) << 16 |
             static_cast<std::uint32_t>(payload[3]) << 8 | payload[4];
      answered |= kBaud;
      return true;
    case cpo::kServerOffset + cpo::kSetDataSize:
      data_size = value;
      answered |= kDataSize;
      return true;
    case cpo::kServerOffset + cpo::kSetParity:
      parity = value;
      answered |= kParity;
      return true;
    case cpo::kServerOffset + cpo::kSetStopSize:
      stop_size = value;
      answered |= kStopSize;
      return true;
    default:
      return false;
  }
}
