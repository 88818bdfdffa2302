#pragma once
#include <cstdint>
#include <string>

#include "serial/port_error.h"
#include "serial/uart_register_file.h"

// One open serial device of the system, as a stand-in for a UART drives it:
// the line settings and modem control the registers ask for, and the status
// registers' values read from the device. Closed when destroyed.
//
// Once the device stops working (hung up, an adapter pulled out, a server
// that refuses the line settings) it says so through gone(), with the
// system's error code; its owner then closes it.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Whether the device still works, asked of the system.
  virtual bool Check() = 0;

  // A baud of 0 leaves the rate as it is; modem control is passed along for
  // systems that set DTR and RTS with the line settings.
  virtual void ApplyLineSettings(const LineSettings& line, std::uint8_t modem_control) = 0;
  virtual void ApplyModemControl(std::uint8_t modem_control) = 0;

  // The line and modem status registers as the device's queues and modem
  // lines give them. idle: the line status read just before found nothing
  // received, so the reader is waiting for a byte; a device may then wait a
  // little for one to come before it answers, as long as it answers as soon
  // as one does.
  virtual std::uint8_t LineStatus(bool idle) = 0;
  virtual std::uint8_t ModemStatus() = 0;

  // A byte from the receive queue; zero when none is waiting.
  virtual std::uint8_t ReceiveByte() = 0;
  virtual void TransmitByte(std::uint8_t value) = 0;
  virtual void Clear(bool receiver, bool transmitter) = 0;

  bool gone() const { return gone_; }
  int gone_code() const { return gone_code_; }
  // What happened, where the system's code does not say it.
  const std::string& gone_detail() const { return gone_detail_; }
  // A serial server found to be of the other kind than its name says.
  ServerMixUp gone_mix_up() const { return gone_mix_up_; }

 protected:
  void Gone(int code, const std::string& detail = std::string(),
            ServerMixUp mix_up = ServerMixUp::kNone) {
    if (gone_) return;  // the first reason is the one that counts
    gone_ = true;
    gone_code_ = code;
    gone_detail_ = detail;
    gone_mix_up_ = mix_up;
  }

 private:
  bool gone_ = false;
  int gone_code_ = 0;
  std::string gone_detail_;
  ServerMixUp gone_mix_up_ = ServerMixUp::kNone;
};
