#include "sim/korvel_unit.h"

#include <cstddef>
#include <utility>

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

bool Shown(std::uint8_t byte) {
  return (byte >= 0x20 && byte <= 0x7E) || byte >= 0x80;
}

}  // namespace

KorvelUnit::KorvelUnit(UnitBehaviour behaviour) : behaviour_(std::move(behaviour)) {}

std::vector<std::uint8_t> KorvelUnit::Receive(std::uint8_t byte) {
  received_.push_back(byte);
  std::vector<std::uint8_t> reply;
  if (!behaviour_.answers) return reply;
  reply.assign(1 + static_cast<std::size_t>(behaviour_.extra_answer_bytes > 0
                                                ? behaviour_.extra_answer_bytes
                                                : 0),
               behaviour_.answer_byte);
  if (byte == kEndOfFrame) {
    reply.insert(reply.end(), behaviour_.stale_bytes.begin(), behaviour_.stale_bytes.end());
  }
  return reply;
}

std::vector<std::vector<std::uint8_t>> KorvelUnit::Frames() const {
  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<std::uint8_t> current;
  for (std::uint8_t byte : received_) {
    current.push_back(byte);
    if (byte == kEndOfFrame) {
      frames.push_back(std::move(current));
      current.clear();
    }
  }
  return frames;
}

std::array<std::string, 2> KorvelUnit::Display() const {
  const auto frames = Frames();
  if (frames.empty()) return DisplayLinesFor({});
  return DisplayLinesFor(frames.back());
}

std::array<std::string, 2> DisplayLinesFor(const std::vector<std::uint8_t>& frame) {
  std::array<std::string, 2> lines;
  std::size_t line = 0;
  bool after_cr = false;
  for (std::uint8_t byte : frame) {
    if (byte == KorvelUnit::kEndOfFrame) break;
    if (byte == kCr || (byte == kLf && !after_cr)) {
      ++line;
    } else if (Shown(byte) && line < lines.size() &&
               lines[line].size() < static_cast<std::size_t>(KorvelUnit::kLineLength)) {
      lines[line].push_back(static_cast<char>(byte));
    }
    after_cr = byte == kCr;
  }
  for (auto& text : lines) text.resize(KorvelUnit::kLineLength, ' ');
  return lines;
}
