// What the compiler and the C++ ABI expect from libraries that a bare machine
// does not have.
#include <cstddef>

#include "tests/hw/qemu_debug.h"

extern "C" {

void* memset(void* dest, int value, std::size_t count) {
  auto* bytes = static_cast<unsigned char*>(dest);
  while (count-- > 0) *bytes++ = static_cast<unsigned char>(value);
  return dest;
}

void* memcpy(void* dest, const void* src, std::size_t count) {
  auto* to = static_cast<unsigned char*>(dest);
  const auto* from = static_cast<const unsigned char*>(src);
  while (count-- > 0) *to++ = *from++;
  return dest;
}

void* memmove(void* dest, const void* src, std::size_t count) {
  auto* to = static_cast<unsigned char*>(dest);
  const auto* from = static_cast<const unsigned char*>(src);
  if (to < from) return memcpy(dest, src, count);
  while (count-- > 0) to[count] = from[count];
  return dest;
}

int memcmp(const void* a, const void* b, std::size_t count) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  for (; count > 0; --count, ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
  }
  return 0;
}

// A pure virtual call or a delete means a broken harness.
void __cxa_pure_virtual() { qemu_debug::Fail("pure virtual call"); }

}  // extern "C"

// Virtual destructors refer to these; nothing here is ever on a heap.
void operator delete(void*) noexcept { qemu_debug::Fail("operator delete"); }
void operator delete(void*, std::size_t) noexcept { qemu_debug::Fail("operator delete"); }
