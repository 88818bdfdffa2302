#pragma once
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "banner/run_result.h"

// How far each unit's run has got, one line each on a terminal, redrawn in
// place as bytes are answered: "message frame [##########----------]  20/61",
// led by the port's name when there are several. Safe to update from the
// runs' own threads.
class ProgressBoard {
 public:
  ProgressBoard(std::FILE* terminal, const std::vector<std::string>& ports, int message_length);

  void Answered(std::size_t unit, RunPhase phase, int sent);
  void Finished(std::size_t unit, const std::string& how);

  // Takes the board off the terminal for what is said next.
  void Clear();

 private:
  void Draw(std::size_t unit, const std::string& text);

  std::FILE* terminal_;
  std::vector<std::string> labels_;
  const int message_length_;
  std::mutex mutex_;
  bool shown_ = false;
  std::size_t widest_ = 0;
};
