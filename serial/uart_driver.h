#pragma once
#include <cstdint>

#include "serial/monotonic_clock.h"
#include "serial/port_io.h"

// How one SendByte ended.
enum class SendStatus {
  kSent,              // the byte went out and the unit answered
  kPortMissing,       // no UART at the port's base (the port could not be opened)
  kReceiverFlooded,   // bytes kept arriving while the receiver was being emptied
  kTransmitterStuck,  // the transmitter never became empty
  kNoCts,             // the unit never raised CTS
  kNoAnswer,          // the unit never answered the byte
  kGivenUp,           // a wait was given up at its watch's asking
};

// What a byte is waiting for while the driver polls.
enum class UartWait {
  kReceiverQuiet,  // the unit to stop sending, before a byte goes out
  kTransmitter,    // the transmitter to empty: the line to take a byte
  kCts,            // the unit to raise CTS
  kAnswer,         // the unit's answer to the byte
};

// Asked again and again while a wait lasts, so that a wait can be shown and
// given up before its time limit (a person asking the run to stop).
class WaitWatch {
 public:
  // waited_ms: how long this wait has lasted so far. True gives it up at
  // once: SendByte ends with kGivenUp, and nothing more is written.
  virtual bool GiveUp(UartWait wait, std::int64_t waited_ms) = 0;

 protected:
  ~WaitWatch() = default;
};

// Work for the time the line is busy with a byte and its answer.
class AnswerWaitWork {
 public:
  virtual void WhileAwaitingAnswer() = 0;

 protected:
  ~AnswerWaitWork() = default;
};

// Drives a 16550-style UART by its registers: line set-up, and one byte out
// with the unit's one-byte answer back. Every wait is a busy poll of a status
// register that gives up when its condition has not come true for kTimeLimitMs.
class UartDriver {
 public:
  static constexpr std::int64_t kTimeLimitMs = 3000;
  static constexpr std::uint32_t kBaud = 9600;

  UartDriver(PortIo& io, MonotonicClock& clock) : io_(io), clock_(clock) {}

  // Port index 2 is COM2 at 0x2F8; every other index is COM1 at 0x3F8.
  static std::uint16_t BaseFor(int port);

  // 9600 baud, 8N1, no interrupts, FIFOs on, DTR RTS OUT2 up.
  void InitPort(int port);

  // Sends the low 8 bits of byte and returns once the unit has answered.
  SendStatus SendByte(int port, int byte);

  // Why the port was last found missing; nothing while it is there.
  PortError LastError(int port) const { return io_.LastError(BaseFor(port)); }

  // Whether the last SendByte wrote its byte to the transmitter, as one that
  // ended in a wait after the write did.
  bool ByteWentOut() const { return went_out_; }

  // Done once for each byte, after it has left the transmitter and before
  // the wait for its answer; null for nothing.
  void SetAnswerWaitWork(AnswerWaitWork* work) { answer_wait_work_ = work; }

  // Asked within every wait that does not end at its first poll; null for
  // none, when every wait lasts until its condition or its time limit.
  void SetWaitWatch(WaitWatch* watch) { wait_watch_ = watch; }

 private:
  PortIo& io_;
  MonotonicClock& clock_;
  AnswerWaitWork* answer_wait_work_ = nullptr;
  WaitWatch* wait_watch_ = nullptr;
  bool went_out_ = false;
};
