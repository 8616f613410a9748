// SSSE3's byte shuffle moves four pixels in one instruction, and SSE2's
// compares test four at once, where the portable loops take a dozen steps;
// x86 processors without SSSE3 (before 2006) get 0.
#include <immintrin.h>

#include <array>
#include <cstring>

#include "codec/row_shuffles.h"

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
__attribute__((target("ssse3"))) std::size_t UnpackBmp24(const std::uint8_t* in,
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

__attribute__((target("ssse3"))) std::size_t PackBmp24(std::span<const std::uint32_t> argb,
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

__attribute__((target("ssse3"))) std::size_t PackColour(std::span<const std::uint32_t> argb,
                                                        std::uint8_t* words) {
  // Eight pixels make one 16-byte store. Each word is made in the low half
  // of its pixel's lane, then its two bytes stored high first.
  std::size_t x = 0;
  for (; x + 8 <= argb.size(); x += 8, words += 16) {
    Words4 c[2];
    std::memcpy(c, argb.data() + x, sizeof c);
    Bytes16 le565[2];
    for (int k = 0; k < 2; ++k) {
      const Words4 word = ((c[k] >> 8) & 0xF800) | ((c[k] >> 5) & 0x07E0) | ((c[k] >> 3) & 0x001F);
      le565[k] = reinterpret_cast<Bytes16>(word);
    }
    const Bytes16 out = __builtin_shufflevector(le565[0], le565[1], 1, 0, 5, 4, 9, 8, 13, 12, 17,
                                                16, 21, 20, 25, 24, 29, 28);
    std::memcpy(words, &out, sizeof out);
  }
  return x;
}

__attribute__((target("ssse3"))) std::size_t UnpackColour(const std::uint8_t* words,
                                                          std::span<std::uint32_t> argb) {
  // Eight words make two 16-byte stores: each word's bytes, first and second,
  // go to the low half of its pixel's lane, the rest of the lane from zero.
  std::size_t x = 0;
  const Bytes16 zero = {};
  for (; x + 8 <= argb.size(); x += 8, words += 16) {
    Bytes16 bytes;
    std::memcpy(&bytes, words, sizeof bytes);
    const Words4 lanes[2] = {
        reinterpret_cast<Words4>(__builtin_shufflevector(bytes, zero, 0, 1, 16, 16, 2, 3, 16, 16, 4,
                                                         5, 16, 16, 6, 7, 16, 16)),
        reinterpret_cast<Words4>(__builtin_shufflevector(bytes, zero, 8, 9, 16, 16, 10, 11, 16, 16,
                                                         12, 13, 16, 16, 14, 15, 16, 16))};
    for (int k = 0; k < 2; ++k) {
      const Words4 v = lanes[k];
      const Words4 green = ((v << 5) & 0xE0) | ((v >> 11) & 0x1C);
      const Words4 red = v & 0xF8;
      const Words4 blue = (v >> 5) & 0xF8;
      const Words4 unpacked = 0xFF000000u | red << 16 | green << 8 | blue;
      std::memcpy(argb.data() + x + 4 * k, &unpacked, sizeof unpacked);
    }
  }
  return x;
}

// Each byte's bits in the opposite order: a movemask gives the first pixel in
// bit 0, the plane wants it in bit 7.
constexpr auto kReversed = [] {
  std::array<std::uint8_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    for (unsigned bit = 0; bit < 8; ++bit) {
      if (byte & (1u << bit)) table[byte] |= std::uint8_t(0x80u >> bit);
    }
  }
  return table;
}();

__attribute__((target("ssse3"))) std::size_t PackMask(std::span<const std::uint32_t> mask,
                                                      std::uint8_t* bytes) {
  // Sixteen pixels make two bytes: their lanes compared with zero, narrowed
  // to one byte each, then one bit each.
  std::size_t x = 0;
  const __m128i zero = _mm_setzero_si128();
  for (; x + 16 <= mask.size(); x += 16, bytes += 2) {
    __m128i lanes[4];
    std::memcpy(lanes, mask.data() + x, sizeof lanes);
    const __m128i low =
        _mm_packs_epi32(_mm_cmpeq_epi32(lanes[0], zero), _mm_cmpeq_epi32(lanes[1], zero));
    const __m128i high =
        _mm_packs_epi32(_mm_cmpeq_epi32(lanes[2], zero), _mm_cmpeq_epi32(lanes[3], zero));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
    bytes[0] = kReversed[bits & 0xFF];
    bytes[1] = kReversed[bits >> 8];
  }
  return x;
}

}  // namespace

std::size_t UnpackBmpRow24Shuffled(const std::uint8_t* in, std::span<std::uint32_t> argb) {
  return HasShuffles() ? UnpackBmp24(in, argb) : 0;
}

std::size_t PackBmpRow24Shuffled(std::span<const std::uint32_t> argb, std::uint8_t* out) {
  return HasShuffles() ? PackBmp24(argb, out) : 0;
}

std::size_t UnpackRawColourShuffled(const std::uint8_t* words, std::span<std::uint32_t> argb) {
  return HasShuffles() ? UnpackColour(words, argb) : 0;
}

std::size_t PackRawColourShuffled(std::span<const std::uint32_t> argb, std::uint8_t* words) {
  return HasShuffles() ? PackColour(argb, words) : 0;
}

std::size_t PackRawMaskShuffled(std::span<const std::uint32_t> mask, std::uint8_t* bytes) {
  return HasShuffles() ? PackMask(mask, bytes) : 0;
}

}  // namespace tessarel
