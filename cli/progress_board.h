#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "banner/run_result.h"

// How far each unit's run has got, one line each on a terminal, redrawn in
// place as bytes are answered: "message frame [##########----------]  20/61",
// led by the port's name when there are several. A wait that lasts a moment
// takes the bar's place, saying what it waits for and for how long, so that a
// unit that does not answer is seen before the time runs out. Safe to update
// from the runs' own threads, each unit's calls from one thread.
class ProgressBoard {
 public:
  ProgressBoard(std::FILE* terminal, const std::vector<std::string>& ports, int message_length);

  // How long a wait lasts before the line says what it waits for.
  static constexpr std::int64_t kWaitShownAfterMs = 500;

  void Answered(std::size_t unit, RunPhase phase, int sent);
  void Waiting(std::size_t unit, RunPhase phase, int position, UartWait wait,
               std::int64_t waited_ms);
  void Finished(std::size_t unit, const std::string& how);

  // Takes the board off the terminal for what is said next.
  void Clear();

 private:
  void Draw(std::size_t unit, const std::string& text);

  std::FILE* terminal_;
  std::vector<std::string> labels_;
  // Per unit, the tenth of a second of its wait last drawn; -1 when none is.
  std::vector<std::int64_t> wait_drawn_;
  const int message_length_;
  std::mutex mutex_;
  bool shown_ = false;
  std::size_t widest_ = 0;
};
