#pragma once
#include <cstdio>
#include <string>

// How far a run has got, on one line of a terminal that is redrawn in place:
// "message frame [##########----------]  20/61".
class ProgressBar {
 public:
  explicit ProgressBar(std::FILE* terminal) : terminal_(terminal) {}

  void Show(const char* frame, int sent, int total);
  // Leaves the line empty for what is said next.
  void Clear();

 private:
  std::FILE* terminal_;
  std::string shown_;
};
