// The headerless RAW picture layout, for W x H pixels (n = W * H):
//
//   offset 0            2n bytes       colour plane, one big-endian RGB 5-6-5 word
//                                      per pixel:  RRRRRGGG GGGBBBBB
//   offset 2n           ceil(n/8)      transparency plane, one bit per pixel, the
//                                      first pixel in bit 0x80; 1 = transparent
//   offset 2n+ceil(n/8) 0 or 1 byte    a zero byte when the two planes add up to
//                                      an odd number of bytes
//
// Pixels run row-major from the top-left corner in both planes, with no row
// padding; the transparency plane runs on across rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessarel {

// Unpacked mask: 0 = transparent, anything else opaque (unpacking writes
// 0x00FFFFFF).
using RawPixel = std::uint32_t;

struct RawSizes {
  std::size_t pixels = 0;
  std::size_t colourBytes = 0;
  std::size_t maskBytes = 0;
  std::size_t fileBytes = 0;  // both planes, plus the parity byte when their sum is odd
};

// False for a negative dimension or sizes that do not fit in memory arithmetic.
bool RawLayout(std::int64_t width, std::int64_t height, RawSizes& sizes);

// One plane at a time, for callers holding only part of a file. words
// starts at the first pixel's colour word; plane starts at a byte of the
// transparency plane, with the first pixel's bit the bit-th counted from that
// byte's 0x80 bit. False when the span is too short for the pixels.
//
// The colour plane goes to and from the image layer's 0xAARRGGBB words
// directly, with no pass over a row to reorder its channels: unpacked alpha
// is 0xFF, packed alpha ignored.
bool UnpackRawColourArgb(std::span<const std::uint8_t> words, std::span<std::uint32_t> argb);
bool PackRawColourArgb(std::span<const std::uint32_t> argb, std::span<std::uint8_t> words);
bool UnpackRawMask(std::span<const std::uint8_t> plane, std::size_t bit, std::span<RawPixel> mask);
// Sets the bits of transparent pixels; the others must already be zero.
bool PackRawMask(std::span<const RawPixel> mask, std::size_t bit, std::span<std::uint8_t> plane);

}  // namespace tessarel
