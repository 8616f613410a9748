#include "codec/raw_codec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

#include "codec/row_shuffles.h"

namespace tessarel {
namespace {

// Whether bits [bit, bit + count) lie within the given number of bytes.
// Spans are far below 2^61 bytes, so the bit counts cannot overflow.
bool BitsFit(std::size_t bytes, std::size_t bit, std::size_t count) {
  const std::uint64_t available = std::uint64_t{bytes} * 8;
  return bit <= available && count <= available - bit;
}

}  // namespace

bool RawLayout(std::int64_t width, std::int64_t height, RawSizes& sizes) {
  if (width < 0 || height < 0) return false;
  // The unpacked arrays need 4 bytes a pixel, the most any caller allocates
  // per pixel, so that bound keeps every derived size representable.
  constexpr std::uint64_t kMaxPixels = std::numeric_limits<std::size_t>::max() / 8;
  const auto w = static_cast<std::uint64_t>(width);
  const auto h = static_cast<std::uint64_t>(height);
  if (w != 0 && h > kMaxPixels / w) return false;
  const std::uint64_t n = w * h;
  sizes.pixels = static_cast<std::size_t>(n);
  sizes.colourBytes = static_cast<std::size_t>(2 * n);
  sizes.maskBytes = static_cast<std::size_t>(n / 8 + (n % 8 != 0 ? 1 : 0));
  const std::size_t planes = sizes.colourBytes + sizes.maskBytes;
  sizes.fileBytes = planes + (planes % 2);
  return true;
}

bool UnpackRawColourArgb(std::span<const std::uint8_t> words, std::span<std::uint32_t> argb) {
  const std::size_t count = argb.size();
  if (words.size() / 2 < count) return false;
  const std::uint8_t* w = words.data();
  for (std::size_t i = UnpackRawColourShuffled(w, argb); i < count; ++i) {
    const std::uint32_t b0 = w[2 * i];
    const std::uint32_t b1 = w[2 * i + 1];
    const std::uint32_t red = b0 & 0xF8;
    const std::uint32_t green = ((b0 << 5) | (b1 >> 3)) & 0xFC;
    const std::uint32_t blue = (b1 << 3) & 0xF8;
    argb[i] = 0xFF000000u | red << 16 | green << 8 | blue;
  }
  return true;
}

bool PackRawColourArgb(std::span<const std::uint32_t> argb, std::span<std::uint8_t> words) {
  const std::size_t count = argb.size();
  if (words.size() / 2 < count) return false;
  // Through a local block: stores straight into bytes could alias the
  // input as far as the compiler knows, and the loop would not vectorise.
  constexpr std::size_t kBlock = 64;
  std::uint8_t block[2 * kBlock];
  for (std::size_t i = PackRawColourShuffled(argb, words.data()); i < count; i += kBlock) {
    const std::size_t n = std::min(kBlock, count - i);
    for (std::size_t k = 0; k < n; ++k) {
      const std::uint32_t c = argb[i + k];
      const std::uint32_t red = (c >> 16) & 0xF8;
      const std::uint32_t green = (c >> 8) & 0xFC;
      const std::uint32_t blue = c & 0xF8;
      const auto word = static_cast<std::uint16_t>(red << 8 | green << 3 | blue >> 3);
      block[2 * k] = static_cast<std::uint8_t>(word >> 8);
      block[2 * k + 1] = static_cast<std::uint8_t>(word);
    }
    std::memcpy(words.data() + 2 * i, block, 2 * n);
  }
  return true;
}

bool UnpackRawMask(std::span<const std::uint8_t> plane, std::size_t bit, std::span<RawPixel> mask) {
  const std::size_t count = mask.size();
  if (!BitsFit(plane.size(), bit, count)) return false;
  const std::uint8_t* bytes = plane.data() + bit / 8;
  bit %= 8;
  std::size_t i = 0;
  // Transparent (bit set) gives 0, opaque 0x00FFFFFF, without a branch.
  const auto unpack = [](std::uint32_t byte, std::size_t k) {
    return (((byte >> (7 - k)) & 1u) - 1u) & 0x00FFFFFFu;
  };
  // Up to the first byte boundary bit by bit, then eight pixels per byte.
  for (; i < count && bit != 0; ++i, bit = (bit + 1) % 8) {
    mask[i] = unpack(*bytes, bit);
    if (bit == 7) ++bytes;
  }
  // Whole bytes from a table of the eight pixels each byte value stands for.
  static constexpr auto kEight = [unpack] {
    std::array<std::array<RawPixel, 8>, 256> table{};
    for (std::size_t byte = 0; byte < 256; ++byte) {
      for (std::size_t k = 0; k < 8; ++k) table[byte][k] = unpack(std::uint32_t(byte), k);
    }
    return table;
  }();
  for (; i + 8 <= count; i += 8, ++bytes) {
    std::memcpy(mask.data() + i, kEight[*bytes].data(), sizeof kEight[0]);
  }
  for (std::size_t k = 0; i < count; ++i, ++k) mask[i] = unpack(*bytes, k);
  return true;
}

bool PackRawMask(std::span<const RawPixel> mask, std::size_t bit, std::span<std::uint8_t> plane) {
  const std::size_t count = mask.size();
  if (!BitsFit(plane.size(), bit, count)) return false;
  std::uint8_t* bytes = plane.data() + bit / 8;
  bit %= 8;
  std::size_t i = 0;
  const auto pack = [](RawPixel pixel, std::size_t k) {
    return static_cast<std::uint32_t>(pixel == 0) << (7 - k);
  };
  // Up to the first byte boundary bit by bit, then whole bytes of eight pixels.
  for (; i < count && bit != 0; ++i, bit = (bit + 1) % 8) {
    *bytes |= static_cast<std::uint8_t>(pack(mask[i], bit));
    if (bit == 7) ++bytes;
  }
  // Whole bytes: with the processor's shuffles as far as they go; then one
  // 0/1 byte per pixel for a stretch first (a loop that vectorises), then each
  // eight gathered into one byte by a multiplication that moves byte k's low
  // bit to bit 63 - k and never carries.
  const std::size_t shuffled = PackRawMaskShuffled(mask.subspan(i), bytes);
  i += shuffled;
  bytes += shuffled / 8;
  constexpr std::uint64_t kGather = 0x8040201008040201u;
  constexpr std::size_t kStretch = 64;
  std::uint8_t flags[kStretch];
  while (i + 8 <= count) {
    const std::size_t stretch = std::min<std::size_t>(kStretch, (count - i) / 8 * 8);
    for (std::size_t k = 0; k < stretch; ++k) flags[k] = mask[i + k] == 0;
    for (std::size_t k = 0; k < stretch; k += 8, ++bytes) {
      std::uint64_t eight = 0;  // one load where the host is little-endian
      for (std::size_t j = 0; j < 8; ++j) eight |= std::uint64_t{flags[k + j]} << (8 * j);
      *bytes = static_cast<std::uint8_t>((eight * kGather) >> 56);
    }
    i += stretch;
  }
  for (std::size_t k = 0; i < count; ++i, ++k) {
    *bytes |= static_cast<std::uint8_t>(pack(mask[i], k));
  }
  return true;
}

}  // namespace tessarel
