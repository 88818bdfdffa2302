#pragma once
#include <array>
#include <cstdint>
#include <string_view>

// The 61-byte block the unit takes: two 28-character lines, each ended by
// CR LF, then SUB. Sending a frame stops after its first SUB.
constexpr int kFrameSize = 61;
constexpr int kLineLength = 28;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kSub = 0x1A;
constexpr std::uint8_t kSpace = 0x20;

using Frame = std::array<std::uint8_t, kFrameSize>;

// Spaces in both lines.
Frame BlankFrame();

// The frame for a message text (bytes, CR LF between lines).
Frame MessageFrame(std::string_view text);

// How many of the frame's bytes go out: up to and including its first SUB.
int SentLength(const Frame& frame);
