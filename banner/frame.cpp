#include "banner/frame.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr int kFirstBreak = kLineLength;                 // CR at 28, LF at 29
constexpr int kSecondBreak = 2 * kLineLength + 2;        // CR at 58, LF at 59
constexpr int kEndPosition = kFrameSize - 1;             // SUB at 60

void SetBreak(Frame& frame, int position) {
  frame[position] = kCr;
  frame[position + 1] = kLf;
}

}  // namespace

Frame BlankFrame() {
  Frame frame;
  frame.fill(kSpace);
  SetBreak(frame, kFirstBreak);
  SetBreak(frame, kSecondBreak);
  frame[kEndPosition] = kSub;
  return frame;
}

Frame MessageFrame(std::string_view text) {
  // What the text does not cover is spaces: a short text must never bring a
  // CR (which would cancel the forced line break) or a SUB (which would end
  // the frame early) that the operator did not type.
  Frame frame;
  frame.fill(kSpace);

  const std::size_t copied = std::min(text.size(), frame.size());
  std::copy_n(text.begin(), copied, frame.begin());
  if (copied < frame.size()) {
    frame[copied] = 0;  // the text's terminator goes out with the frame
  }

  const auto first_line_end = frame.begin() + kFirstBreak + 2;
  if (std::find(frame.begin(), first_line_end, kCr) == first_line_end) {
    SetBreak(frame, kFirstBreak);
  }
  SetBreak(frame, kSecondBreak);
  frame[kEndPosition] = kSub;
  return frame;
}

int SentLength(const Frame& frame) {
  const auto end = std::find(frame.begin(), frame.end(), kSub);
  return end == frame.end() ? kFrameSize : static_cast<int>(end - frame.begin()) + 1;
}
