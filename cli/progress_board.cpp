#include "cli/progress_board.h"

#include <algorithm>

#include "banner/frame.h"

namespace {

constexpr int kBarWidth = 30;

const char* FrameName(RunPhase phase) {
  return phase == RunPhase::kBlank ? "blank frame" : "message frame";
}

std::string Bar(RunPhase phase, int sent, int total) {
  const int filled = total > 0 ? sent * kBarWidth / total : kBarWidth;
  char line[128];
  std::snprintf(line, sizeof line, "%-13s [%s%s] %2d/%d", FrameName(phase),
                std::string(filled, '#').c_str(), std::string(kBarWidth - filled, '-').c_str(),
                sent, total);
  return line;
}

// "blank frame   waiting 1.2 s for the unit's answer to byte 1 of 61"
std::string WaitLine(RunPhase phase, int position, int total, UartWait wait, std::int64_t tenths) {
  const std::string byte =
      "byte " + std::to_string(position + 1) + " of " + std::to_string(total);
  std::string what;
  switch (wait) {
    case UartWait::kAnswer: what = "the unit's answer to " + byte; break;
    case UartWait::kCts: what = "the unit's CTS, at " + byte; break;
    case UartWait::kTransmitter: what = "the line to take " + byte; break;
    case UartWait::kReceiverQuiet: what = "the unit to stop sending, before " + byte; break;
  }
  char line[160];
  std::snprintf(line, sizeof line, "%-13s waiting %lld.%lld s for %s", FrameName(phase),
                static_cast<long long>(tenths / 10), static_cast<long long>(tenths % 10),
                what.c_str());
  return line;
}

}  // namespace

ProgressBoard::ProgressBoard(std::FILE* terminal, const std::vector<std::string>& ports,
                             int message_length)
    : terminal_(terminal), wait_drawn_(ports.size(), -1), message_length_(message_length) {
  std::size_t longest = 0;
  for (const std::string& port : ports) longest = std::max(longest, port.size());
  // One unit's line needs no name; several are told apart by theirs.
  for (const std::string& port : ports) {
    labels_.push_back(ports.size() > 1 ? port + std::string(longest - port.size() + 2, ' ') : "");
  }
}

void ProgressBoard::Answered(std::size_t unit, RunPhase phase, int sent) {
  wait_drawn_[unit] = -1;
  Draw(unit, Bar(phase, sent, phase == RunPhase::kBlank ? kFrameSize : message_length_));
}

void ProgressBoard::Waiting(std::size_t unit, RunPhase phase, int position, UartWait wait,
                            std::int64_t waited_ms) {
  if (waited_ms < kWaitShownAfterMs) return;
  // Told of a wait on every poll; drawn once a tenth of a second.
  const std::int64_t tenths = waited_ms / 100;
  if (tenths == wait_drawn_[unit]) return;
  wait_drawn_[unit] = tenths;
  Draw(unit, WaitLine(phase, position, phase == RunPhase::kBlank ? kFrameSize : message_length_,
                      wait, tenths));
}

void ProgressBoard::Finished(std::size_t unit, const std::string& how) {
  if (labels_.size() > 1) Draw(unit, how);
}

void ProgressBoard::Draw(std::size_t unit, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string line = labels_[unit] + text;
  widest_ = std::max(widest_, line.size());
  if (labels_.size() == 1) {
    // Blanks cover what a longer line drawn before left.
    std::fprintf(terminal_, "\r%-*s", static_cast<int>(widest_), line.c_str());
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
