// SSSE3's byte shuffle moves four 24-bit pixels in one instruction, where the
// portable loops take a dozen; x86 processors without it (before 2006) get 0.
#include <cstring>

#include "codec/bmp_rows.h"

namespace tessarel {
namespace {

using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
using Words4 = std::uint32_t __attribute__((vector_size(16)));

bool HasShuffles() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return has;
}

// x86 is little-endian: byte 0 of an ARGB word is blue, as in the file.
__attribute__((target("ssse3"))) std::size_t Unpack(const std::uint8_t* in,
                                                    std::span<std::uint32_t> argb) {
  // Each step loads 16 bytes for 12: it runs only while 6 pixels (18 bytes)
  // remain, so the load never passes the row.
  std::size_t x = 0;
  for (; x + 6 <= argb.size(); x += 4, in += 12) {
    Bytes16 bytes;
    std::memcpy(&bytes, in, sizeof bytes);
    const Words4 words = reinterpret_cast<Words4>(
        __builtin_shufflevector(bytes, bytes, 0, 1, 2, 0, 3, 4, 5, 0, 6, 7, 8, 0, 9, 10, 11, 0));
    const Words4 opaque = words | 0xFF000000u;
    std::memcpy(argb.data() + x, &opaque, sizeof opaque);
  }
  return x;
}

__attribute__((target("ssse3"))) std::size_t Pack(std::span<const std::uint32_t> argb,
                                                  std::uint8_t* out) {
  // Sixteen pixels make exactly three 16-byte stores.
  std::size_t x = 0;
  for (; x + 16 <= argb.size(); x += 16, out += 48) {
    Bytes16 a, b, c, d;
    std::memcpy(&a, argb.data() + x, sizeof a);
    std::memcpy(&b, argb.data() + x + 4, sizeof b);
    std::memcpy(&c, argb.data() + x + 8, sizeof c);
    std::memcpy(&d, argb.data() + x + 12, sizeof d);
    const Bytes16 out0 =
        __builtin_shufflevector(a, b, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20);
    const Bytes16 out1 =
        __builtin_shufflevector(b, c, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 25);
    const Bytes16 out2 = __builtin_shufflevector(c, d, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24,
                                                 25, 26, 28, 29, 30);
    std::memcpy(out, &out0, sizeof out0);
    std::memcpy(out + 16, &out1, sizeof out1);
    std::memcpy(out + 32, &out2, sizeof out2);
  }
  return x;
}

}  // namespace

std::size_t UnpackBmpRow24Shuffled(const std::uint8_t* in, std::span<std::uint32_t> argb) {
  return HasShuffles() ? Unpack(in, argb) : 0;
}

std::size_t PackBmpRow24Shuffled(std::span<const std::uint32_t> argb, std::uint8_t* out) {
  return HasShuffles() ? Pack(argb, out) : 0;
}

}  // namespace tessarel
