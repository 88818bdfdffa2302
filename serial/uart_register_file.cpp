#include "serial/uart_register_file.h"

using namespace uart;

RegisterWrite UartRegisterFile::Write(int offset, std::uint8_t value) {
  RegisterWrite effect;
  switch (offset) {
    case kData:
      if (divisor_latch_open()) {
        divisor_low_ = value;
      } else {
        effect.transmit = true;
      }
      break;
    case kInterruptEnable:
      if (divisor_latch_open()) {
        divisor_high_ = value;
      } else {
        interrupt_enable_ = value & kInterruptEnableBits;
      }
      break;
    case kFifoControl: {
      // Switching the FIFOs on or off empties both; the clear bits only act
      // in the same write as the enable bit.
      const bool enable = (value & kFifoEnable) != 0;
      effect.clear_receiver = enable != fifos_enabled_ || (enable && (value & kClearReceiver));
      effect.clear_transmitter =
          enable != fifos_enabled_ || (enable && (value & kClearTransmitter));
      fifos_enabled_ = enable;
      break;
    }
    case kLineControl:
      line_control_ = value;
      // The divisor and the line settings take effect when the latch closes.
      effect.line_settings = !divisor_latch_open();
      break;
    case kModemControl:
      modem_control_ = value & kModemControlBits;
      effect.modem_control = true;
      break;
    case kScratch:
      scratch_ = value;
      break;
    default:  // the status registers take no writes
      break;
  }
  return effect;
}

bool UartRegisterFile::Read(int offset, std::uint8_t* value) const {
  switch (offset) {
    case kData:
      if (!divisor_latch_open()) return false;
      *value = divisor_low_;
      return true;
    case kInterruptEnable:
      *value = divisor_latch_open() ? divisor_high_ : interrupt_enable_;
      return true;
    case kFifoControl:
      // No interrupt is ever pending: nothing here enables one.
      *value = kNoInterruptPending | (fifos_enabled_ ? kFifosEnabled : 0);
      return true;
    case kLineControl:
      *value = line_control_;
      return true;
    case kModemControl:
      *value = modem_control_;
      return true;
    case kScratch:
      *value = scratch_;
      return true;
    default:
      return false;
  }
}

LineSettings UartRegisterFile::line_settings() const {
  LineSettings settings;
  const std::uint16_t latch = divisor();
  settings.baud = latch == 0 ? 0 : kBaudAtDivisorOne / latch;
  settings.data_bits = 5 + (line_control_ & kWordLengthBits);
  settings.long_stop = (line_control_ & kTwoStopBits) != 0;
  if (line_control_ & kParityOn) {
    const bool even = (line_control_ & kEvenParity) != 0;
    // Stick parity sends a fixed bit: 0 with even selected, 1 without.
    if (line_control_ & kStickParity) {
      settings.parity = even ? Parity::kSpace : Parity::kMark;
    } else {
      settings.parity = even ? Parity::kEven : Parity::kOdd;
    }
  }
  return settings;
}
