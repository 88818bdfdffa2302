#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "banner/unit_display.h"

// How a stand-in unit behaves on the line. The defaults are a healthy unit.
struct UnitBehaviour {
  bool raises_cts = true;   // signals ready to take a byte
  bool answers = true;      // answers every byte it takes
  int answer_delay_ms = 0;  // how long the answer takes (the line models apply it)
  int extra_answer_bytes = 0;  // more copies of the answer byte after the answer
  // Sent unasked right after the answer to a frame's end byte, as a unit that
  // reports its state would; the host has to read them away before its next byte.
  std::vector<std::uint8_t> stale_bytes;
  std::uint8_t answer_byte = 0x06;
};

// The unit at the far end of the serial line, reduced to what it does with
// bytes: it records every byte, answers it, cuts the stream into frames and
// shows the last complete one. It knows nothing of time or of any port, so a
// simulated UART and a pseudo-terminal can both put it on a line.
//
// It shows the last complete frame by the display rule (DisplayLinesFor);
// before any complete frame the display is blank.
class KorvelUnit {
 public:
  static constexpr std::uint8_t kEndOfFrame = 0x1A;

  explicit KorvelUnit(UnitBehaviour behaviour = {});

  // Takes one byte off the line; returns the bytes the unit sends back.
  std::vector<std::uint8_t> Receive(std::uint8_t byte);

  // Every byte taken so far, in order.
  const std::vector<std::uint8_t>& Received() const { return received_; }

  // The byte stream cut after each end byte (included); an unfinished tail is
  // not a frame.
  std::vector<std::vector<std::uint8_t>> Frames() const;

  // The two lines the display shows for the last complete frame.
  std::array<std::string, 2> Display() const;

  const UnitBehaviour& behaviour() const { return behaviour_; }

 private:
  UnitBehaviour behaviour_;
  std::vector<std::uint8_t> received_;
};
