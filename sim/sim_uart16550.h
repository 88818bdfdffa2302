#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "serial/monotonic_clock.h"
#include "serial/uart_register_file.h"
#include "serial/uart_registers.h"
#include "sim/korvel_unit.h"

// One 16550 UART with a KORVEL unit on its line, seen through its eight
// registers. Addresses are taken whole and the register is chosen by the low
// three bits, so the UART works at any base that is a multiple of 8.
//
// What it models:
// - the storage registers of UartRegisterFile: the divisor latch behind line
//   control bit 7 (bytes written to it never reach the line), interrupt
//   enable, line control, modem control and scratch (no interrupts are
//   raised; the identification register always says none is pending);
// - FIFO control: enabling or disabling the FIFOs empties them, bits 1 and 2
//   empty the receive and transmit FIFO; the receiver holds 16 bytes with
//   FIFOs on, 1 without, and a byte that finds it full sets overrun (0x02);
// - the receive buffer: an empty receiver reads as zero with FIFOs on and as
//   its last byte without;
// - line status: data ready 0x01, overrun 0x02 (cleared by reading), holding
//   register empty 0x20, transmitter empty 0x40;
// - modem status: CTS (0x10) is up while the unit raises it and the host
//   asserts RTS (modem control bit 1): a unit only signals ready to a host
//   that has asked to send. Bit 0 reports a CTS change since the last read;
// - loopback (modem control bit 4): transmitted bytes come back to the
//   receiver instead of the unit, and the modem status mirrors DTR, RTS,
//   OUT1 and OUT2 as the chip does;
// - the unit's answer delay, measured on the clock given; with no clock,
//   answers arrive at once.
// A byte written to the transmit register reaches the unit at once, so the
// transmitter always reads as empty.
class SimUart16550 {
 public:
  explicit SimUart16550(KorvelUnit& unit, MonotonicClock* clock = nullptr);

  std::uint8_t In(std::uint16_t address);
  void Out(std::uint16_t address, std::uint8_t value);

  // Bytes arriving on the receive line now, not sent by the unit as an answer
  // (noise, or a unit talking out of turn).
  void Inject(const std::vector<std::uint8_t>& bytes);

  bool ClearToSend() const;

 private:
  struct Answer {
    std::int64_t due_ms;
    std::vector<std::uint8_t> bytes;
  };

  std::uint8_t Read(int offset);
  void Write(int offset, std::uint8_t value);
  std::uint8_t LineStatus();
  std::uint8_t ModemStatus();
  void Transmit(std::uint8_t byte);
  void ReceiveFromLine(std::uint8_t byte);
  void DeliverDueAnswers();

  KorvelUnit& unit_;
  MonotonicClock* clock_;

  UartRegisterFile registers_;
  std::uint8_t receive_buffer_ = 0;  // the last byte read
  bool overrun_ = false;
  bool last_cts_ = false;

  std::deque<std::uint8_t> receiver_;
  std::deque<Answer> in_flight_;
};
