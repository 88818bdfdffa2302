#include "tests/hw/qemu_debug.h"

#include "tests/hw/x86_io.h"

namespace qemu_debug {

namespace {
constexpr std::uint16_t kConsolePort = 0xE9;
constexpr std::uint16_t kExitPort = 0xF4;
}  // namespace

void Write(const char* text) {
  while (*text != '\0') OutByte(kConsolePort, static_cast<std::uint8_t>(*text++));
}

void WriteHex(std::uint32_t value, int digits) {
  while (digits-- > 0) OutByte(kConsolePort, "0123456789ABCDEF"[(value >> (4 * digits)) & 0xF]);
}

void WriteDecimal(std::uint32_t value) {
  char text[11];
  char* start = text + sizeof text - 1;
  *start = '\0';
  do {
    *--start = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  Write(start);
}

void Exit(std::uint8_t code) {
  OutByte(kExitPort, code);
  // Without the exit device the machine just stops; the host's time limit ends it.
  for (;;) asm volatile("cli; hlt");
}

void Fail(const char* why) {
  Write("error ");
  Write(why);
  Write("\n");
  Exit(kBroken);
}

}  // namespace qemu_debug
