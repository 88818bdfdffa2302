#pragma once
#include <cstdint>
#include <string>

#include "serial/port_error.h"
#include "serial/uart_register_file.h"

struct QueueFacts {
  bool byte_waiting = false;
  bool output_drained = false;
  bool overrun = false;
  bool parity_error = false;
  bool framing_error = false;
  bool break_received = false;
};

struct ModemLines {
  bool present = true;  // false: a pseudo-terminal, some adapters, a raw server
  bool clear_to_send = false;
  bool data_set_ready = false;
  bool ring = false;
  bool carrier_detect = false;
};

// One open serial device of the system, as a stand-in for a UART drives it:
// the line settings and modem control the registers ask for, and the facts
// its status registers are made of, read from the device. Closed when
// destroyed.
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

  // What the device knows of its queues: whether a byte waits to be read and
  // whether all written has gone out, and the receive errors the system kept
  // since it was asked last (not every system keeps them). wait_ms: the reader
  // is waiting for a byte; a device with nothing to read or send may then
  // wait up to wait_ms for one, as long as it answers as soon as one comes.
  virtual QueueFacts ReadQueues(int wait_ms) = 0;
  // The modem lines, or that the line has none. wait_ms: CTS was down when
  // last read; a device that hears of changes may wait up to wait_ms for one.
  virtual ModemLines ReadModemLines(int wait_ms) = 0;

  // A byte from the receive queue; zero when none is waiting.
  virtual std::uint8_t ReceiveByte() = 0;
  virtual void TransmitByte(std::uint8_t value) = 0;
  virtual void Clear(bool receiver, bool transmitter) = 0;

  bool gone() const { return gone_; }
  int gone_code() const { return gone_why_.error.system_code; }
  // Why, where the system's code does not say it: a serial server's fault,
  // or that it is of the other kind than its name says.
  const DeviceError& gone_why() const { return gone_why_; }

 protected:
  void Gone(int code, ServerFault::Kind fault = ServerFault::Kind::kNone) {
    ServerFault server;
    server.kind = fault;
    Gone(code, server);
  }
  void Gone(int code, const ServerFault& server, ServerMixUp mix_up = ServerMixUp::kNone) {
    if (gone_) return;  // the first reason is the one that counts
    gone_ = true;
    gone_why_.error.system_code = code;
    gone_why_.server = server;
    gone_why_.mix_up = mix_up;
  }

 private:
  bool gone_ = false;
  DeviceError gone_why_;
};
