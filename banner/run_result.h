#pragma once
#include <string>

#include "serial/port_error.h"
#include "serial/uart_driver.h"

enum class RunPhase { kBlank, kMessage };

// How a programming run ended: decided here once, worded by each front end.
enum class RunOutcome {
  kProgrammed,  // both frames sent, every byte answered
  kStopped,     // asked to stop, between two bytes or during a byte's wait

  // The port could not be used.
  kNoSuchPort,        // the system has no serial port by that name
  kPortInUse,         // another program holds it
  kPortAccessDenied,  // the system refused to open it
  kPortWentAway,      // it stopped working during the run (an adapter pulled out)
  kPortFailed,        // anything else; the system's words say what, when it has any

  // The unit, or the line to it, did not do its part within the time limit.
  kReceiverFlooded,   // bytes kept arriving while the receiver was being emptied
  kTransmitterStuck,  // the transmitter never became empty
  kNoCts,             // the unit never raised CTS
  kNoAnswer,          // the unit never answered a byte
};

struct RunResult {
  RunOutcome outcome = RunOutcome::kProgrammed;
  // Where the run ended when it did not finish: the frame, and the position
  // in it of the byte that failed or was not sent.
  RunPhase phase = RunPhase::kBlank;
  int position = 0;
  // Stopped within a wait after that byte was written: it went out, unanswered.
  bool byte_went_out = false;
  // The system's own error code behind a port outcome (errno, GetLastError);
  // 0 when there is none. And what the port's stand-in said of it in words,
  // where the code does not say it (the program holding the port).
  int system_code = 0;
  std::string detail;
  // What a serial server on the network did wrong, for the front end to word.
  ServerFault server{};
  // A serial server of the other kind than its name says, and the bytes it
  // was sent and sent back before that was found.
  ServerMixUp mix_up = ServerMixUp::kNone;
  int mix_up_bytes_sent = 0;
  int mix_up_bytes_back = 0;

  bool ok() const { return outcome == RunOutcome::kProgrammed; }
  bool port_failed() const;
  bool unit_failed() const;
};

// What a port that could not be used means for the run.
RunResult PortFailure(const DeviceError& why);

// Keeps in result what the port's stand-in said of why it went: the detail and
// a serial server's mix-up.
void KeepDeviceError(const DeviceError& why, RunResult* result);

// What a byte that did not go through means for the run; error is the port's
// last error, which says why when the port was missing.
RunOutcome OutcomeOf(SendStatus status, const PortError& error);
