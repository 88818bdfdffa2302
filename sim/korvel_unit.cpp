#include "sim/korvel_unit.h"

#include <cstddef>
#include <utility>

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
