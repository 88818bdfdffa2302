#include "cli/progress_bar.h"

namespace {

constexpr int kWidth = 30;

}  // namespace

void ProgressBar::Show(const char* frame, int sent, int total) {
  const int filled = total > 0 ? sent * kWidth / total : kWidth;
  char line[128];
  std::snprintf(line, sizeof line, "%-13s [%s%s] %2d/%d", frame, std::string(filled, '#').c_str(),
                std::string(kWidth - filled, '-').c_str(), sent, total);
  std::fprintf(terminal_, "\r%s", line);
  std::fflush(terminal_);
  shown_ = line;
}

void ProgressBar::Clear() {
  if (shown_.empty()) return;
  std::fprintf(terminal_, "\r%s\r", std::string(shown_.size(), ' ').c_str());
  std::fflush(terminal_);
  shown_.clear();
}
