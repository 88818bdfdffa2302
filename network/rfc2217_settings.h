#pragma once
#include <cstdint>
#include <vector>
#include "serial/port_error.h"
#include "serial/uart_register_file.h"

// The four line settings as RFC 2217 codes them, each confirmed on its own:
// a server that answers one of them twice has still not confirmed the others.
struct Rfc2217Settings {
  enum Answered : std::uint8_t { kBaud = 1, kDataSize = 2, kParity = 4, kStopSize = 8, kAll = 15 };
  std::uint32_t baud = 0;
  std::uint8_t data_size = 0;
  std::uint8_t parity = 0;
  std::uint8_t stop_size = 0;
  std::uint8_t answered = 0;

  // A server's COM-PORT-OPTION answer (command and values) taken when it
  // confirms one of the four; whether it was one of them.
  bool Take(const std::vector<std::uint8_t>& payload);

  // What to ask the server for a line.
  static Rfc2217Settings For(const LineSettings& line);

  // The line as the front ends word it.
  ServerLine Line() const;

  bool SameLine(const Rfc2217Settings& other) const {
    return baud == other.baud && data_size == other.data_size && parity == other.parity &&
           stop_size == other.stop_size;
  }
};

