#pragma once
#include <cstdint>

// QEMU's debug devices, the harness's only way to the host: text on the debug
// console (isa-debugcon, port 0xE9) and the end of the run (isa-debug-exit,
// port 0xF4, after which QEMU exits with status code * 2 + 1).
namespace qemu_debug {

constexpr std::uint8_t kDone = 0x10;    // QEMU exits with 33
constexpr std::uint8_t kBroken = 0x11;  // QEMU exits with 35

void Write(const char* text);
void WriteHex(std::uint32_t value, int digits);
void WriteDecimal(std::uint32_t value);

[[noreturn]] void Exit(std::uint8_t code);

// "error <why>" on the console, then the end with kBroken.
[[noreturn]] void Fail(const char* why);

}  // namespace qemu_debug
