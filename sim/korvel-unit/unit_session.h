#pragma once
#include <csignal>
#include <cstdint>
#include <cstdio>

#include "sim/korvel_unit.h"
#include "sim/korvel-unit/options.h"
#include "sim/korvel-unit/pty_line.h"

// Serves one unit on a pseudo-terminal: takes each byte the client sends,
// answers as the unit would, and reports frames and bytes.
class UnitSession {
 public:
  // log and frames may be null when not asked for.
  UnitSession(const ToolOptions& options, PtyLine& line, std::FILE* out, std::FILE* log,
              std::FILE* frames);

  // Runs until stop is set or the frames asked for are done. Returns the exit
  // status: 0, or 1 when the terminal fails.
  int Run(const volatile std::sig_atomic_t& stop);

 private:
  bool TakeByte(std::uint8_t byte, const volatile std::sig_atomic_t& stop);
  void ReportFrame();
  void SendToClient(std::uint8_t byte);
  void WaitForClientToRead(const volatile std::sig_atomic_t& stop);

  const ToolOptions& options_;
  PtyLine& line_;
  std::FILE* out_;
  std::FILE* log_;
  std::FILE* frames_file_;
  KorvelUnit unit_;
  std::int64_t byte_time_us_;      // one byte on the emulated line; 0 when off
  std::int64_t spin_us_;           // the last stretch of each byte's time, spun out
  std::int64_t receive_free_us_ = 0;  // when the receive line is free again
  long frames_ = 0;
  bool overflow_reported_ = false;
};
