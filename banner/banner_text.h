#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A banner file gives at most the text part of a frame: two 28-character
// lines with CR LF between them. A SUB ends it earlier and is kept.
constexpr std::size_t kBannerReadLimit = 70;  // bytes read from the file
constexpr std::size_t kBannerTextLimit = 58;  // bytes of them used

// The message text for the count bytes read from a banner file: every byte up
// to and including the first SUB, or the first kBannerTextLimit bytes,
// whichever ends first. Any byte value is kept, zero bytes included; a short
// file gives only what it holds.
std::string BannerTextFromFile(const std::uint8_t* bytes, std::size_t count);
