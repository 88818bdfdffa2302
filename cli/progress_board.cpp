#include "cli/progress_board.h"

#include <algorithm>

#include "banner/frame.h"

namespace {

constexpr int kBarWidth = 30;

std::string Bar(RunPhase phase, int sent, int total) {
  const int filled = total > 0 ? sent * kBarWidth / total : kBarWidth;
  char line[128];
  std::snprintf(line, sizeof line, "%-13s [%s%s] %2d/%d",
                phase == RunPhase::kBlank ? "blank frame" : "message frame",
                std::string(filled, '#').c_str(), std::string(kBarWidth - filled, '-').c_str(),
                sent, total);
  return line;
}

}  // namespace

ProgressBoard::ProgressBoard(std::FILE* terminal, const std::vector<std::string>& ports,
                             int message_length)
    : terminal_(terminal), message_length_(message_length) {
  std::size_t longest = 0;
  for (const std::string& port : ports) longest = std::max(longest, port.size());
  // One unit's line needs no name; several are told apart by theirs.
  for (const std::string& port : ports) {
    labels_.push_back(ports.size() > 1 ? port + std::string(longest - port.size() + 2, ' ') : "");
  }
}

void ProgressBoard::Answered(std::size_t unit, RunPhase phase, int sent) {
  Draw(unit, Bar(phase, sent, phase == RunPhase::kBlank ? kFrameSize : message_length_));
}

void ProgressBoard::Finished(std::size_t unit, const std::string& how) {
  if (labels_.size() > 1) Draw(unit, how);
}

void ProgressBoard::Draw(std::size_t unit, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string line = labels_[unit] + text;
  widest_ = std::max(widest_, line.size());
  if (labels_.size() == 1) {
    std::fprintf(terminal_, "\r%s", line.c_str());
  } else {
    if (!shown_) {
      // The board's lines first, the cursor left below the last of them.
      for (const std::string& label : labels_) std::fprintf(terminal_, "%s\n", label.c_str());
    }
    const std::size_t up = labels_.size() - unit;
    std::fprintf(terminal_, "\x1b[%zuA\r\x1b[K%s\x1b[%zuB\r", up, line.c_str(), up);
  }
  shown_ = true;
  std::fflush(terminal_);
}

void ProgressBoard::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!shown_) return;
  if (labels_.size() == 1) {
    std::fprintf(terminal_, "\r%s\r", std::string(widest_, ' ').c_str());
  } else {
    std::fprintf(terminal_, "\x1b[%zuA\r\x1b[J", labels_.size());
  }
  std::fflush(terminal_);
  shown_ = false;
}
