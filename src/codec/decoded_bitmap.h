// What the portable decoders hand to the in-memory image layer.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tessarel {

// The one cap every decoder applies before allocating: 2^26 pixels (8192 x 8192)
// is 256 MiB of ARGB, far beyond any sprite and still safe on a 32-bit build.
inline constexpr std::uint64_t kMaxDecodedPixels = std::uint64_t{1} << 26;

struct DecodedBitmap {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool hasAlpha = false;            // false: every pixel's alpha is 0xFF
  std::vector<std::uint32_t> argb;  // 0xAARRGGBB, row-major, top row first
  // Set, with nothing else, when a decoder refused the file only because
  // the memory for it could not be had.
  bool outOfMemory = false;
  // Why a decoder refused the file, in words for the user; empty otherwise.
  std::string_view why;
};

}  // namespace tessarel
