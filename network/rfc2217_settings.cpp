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

const char* ParityName(std::uint8_t code) {
  switch (code) {
    case cpo::kParityNone: return "no parity";
    case cpo::kParityOdd: return "odd parity";
    case cpo::kParityEven: return "even parity";
    case cpo::kParityMark: return "mark parity";
    case cpo::kParitySpace: return "space parity";
    default: return "an unknown parity";
  }
}

}  // namespace

std::string Describe(const Rfc2217Settings& settings) {
  const char* stops = settings.stop_size == cpo::kTwoStopBits           ? "2 stop bits"
                      : settings.stop_size == cpo::kOneAndAHalfStopBits ? "1.5 stop bits"
                                                                        : "1 stop bit";
  return std::to_string(settings.baud) + " baud, " + std::to_string(settings.data_size) +
         " data bits, " + ParityName(settings.parity) + ", " + stops;
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
