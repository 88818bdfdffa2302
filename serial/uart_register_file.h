#pragma once
#include <cstdint>

#include "serial/uart_registers.h"

// What a write asks of the register file's owner beyond keeping the value.
struct RegisterWrite {
  bool transmit = false;           // the byte goes out on the line
  bool line_settings = false;      // divisor and line control are now in force
  bool modem_control = false;      // DTR, RTS, OUT1, OUT2 or loopback may have changed
  bool clear_receiver = false;     // empty the receive FIFO
  bool clear_transmitter = false;  // empty the transmit FIFO
};

enum class Parity { kNone, kOdd, kEven, kMark, kSpace };

// What divisor and line control stand for on the line.
struct LineSettings {
  std::uint32_t baud = 0;  // 0 while the divisor is 0: no rate at all
  int data_bits = 8;       // 5 to 8
  bool long_stop = false;  // two stop bits; one and a half with 5 data bits
  Parity parity = Parity::kNone;
};

// The registers a 16550 keeps as plain storage, decoded from their offsets as
// the chip decodes them: offsets 0 and 1 lead to the divisor latch while line
// control bit 7 is set; interrupt enable and modem control keep only their
// defined bits. The receive buffer, the two status registers and what a
// transmitted byte or a FIFO clear does are the owner's: a simulated chip, or
// a stand-in that maps the registers onto a system's serial port.
//
// Starts as the chip does after a reset: every register zero.
class UartRegisterFile {
 public:
  RegisterWrite Write(int offset, std::uint8_t value);

  // The value of a register the file keeps; false for the ones the owner
  // answers: the receive buffer (while the latch is closed), the line status
  // and the modem status.
  bool Read(int offset, std::uint8_t* value) const;

  bool divisor_latch_open() const { return (line_control_ & uart::kDivisorLatch) != 0; }
  std::uint16_t divisor() const {
    return static_cast<std::uint16_t>(divisor_high_ << 8 | divisor_low_);
  }
  LineSettings line_settings() const;
  std::uint8_t modem_control() const { return modem_control_; }
  bool fifos_enabled() const { return fifos_enabled_; }
  bool loopback() const { return (modem_control_ & uart::kLoopback) != 0; }

 private:
  std::uint8_t divisor_low_ = 0;
  std::uint8_t divisor_high_ = 0;
  std::uint8_t interrupt_enable_ = 0;
  std::uint8_t line_control_ = 0;
  std::uint8_t modem_control_ = 0;
  std::uint8_t scratch_ = 0;
  bool fifos_enabled_ = false;
};
