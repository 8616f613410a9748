#include "raw/raw_codec.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

namespace tessarel {
namespace {

bool RangeFits(const RawSizes& sizes, std::size_t first, std::size_t count) {
  return first <= sizes.pixels && count <= sizes.pixels - first;
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

bool UnpackRawPixels(std::span<const std::uint8_t> bytes, const RawSizes& sizes,
                     std::size_t first, std::span<RawPixel> colour, std::span<RawPixel> mask) {
  const std::size_t count = colour.size();
  if (mask.size() != count || !RangeFits(sizes, first, count)) return false;
  if (bytes.size() < sizes.colourBytes + sizes.maskBytes) return false;
  const std::uint8_t* words = bytes.data() + 2 * first;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t b0 = words[2 * i];
    const std::uint32_t b1 = words[2 * i + 1];
    const std::uint32_t v = (b0 << 8) | b1;
    const std::uint32_t red = ((v >> 11) << 3) & 0xFF;
    const std::uint32_t green = ((v >> 5) << 2) & 0xFF;
    const std::uint32_t blue = (b1 << 3) & 0xFF;
    colour[i] = red | (green << 8) | (blue << 16);
  }
  const std::uint8_t* plane = bytes.data() + sizes.colourBytes;
  std::size_t i = 0;
  // Up to the first byte boundary bit by bit, then eight pixels per byte.
  for (; i < count && (first + i) % 8 != 0; ++i) {
    const std::size_t p = first + i;
    mask[i] = (plane[p / 8] & (0x80u >> (p % 8))) != 0 ? 0 : 0x00FFFFFF;
  }
  for (; i + 8 <= count; i += 8) {
    const std::uint32_t bits = plane[(first + i) / 8];
    for (std::size_t k = 0; k < 8; ++k) mask[i + k] = (bits & (0x80u >> k)) != 0 ? 0 : 0x00FFFFFF;
  }
  for (; i < count; ++i) {
    const std::size_t p = first + i;
    mask[i] = (plane[p / 8] & (0x80u >> (p % 8))) != 0 ? 0 : 0x00FFFFFF;
  }
  return true;
}

bool PackRawPixels(std::span<const RawPixel> colour, std::span<const RawPixel> mask,
                   const RawSizes& sizes, std::size_t first, std::span<std::uint8_t> bytes) {
  const std::size_t count = colour.size();
  if (mask.size() != count || !RangeFits(sizes, first, count)) return false;
  if (bytes.size() != sizes.fileBytes) return false;
  // Whole 16-bit words stored big-endian, so the loop vectorises.
  std::uint8_t* words = bytes.data() + 2 * first;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t c = colour[i];
    const auto word = static_cast<std::uint16_t>(((c & 0xF8) << 8) | ((c >> 5) & 0x07E0) |
                                                 ((c >> 19) & 0x1F));
    const std::uint8_t pair[2] = {static_cast<std::uint8_t>(word >> 8),
                                  static_cast<std::uint8_t>(word)};
    std::memcpy(words + 2 * i, pair, 2);
  }
  std::uint8_t* plane = bytes.data() + sizes.colourBytes;
  std::size_t i = 0;
  // Up to the first byte boundary bit by bit, then whole bytes of eight pixels.
  for (; i < count && (first + i) % 8 != 0; ++i) {
    const std::size_t p = first + i;
    if (mask[i] == 0) plane[p / 8] |= static_cast<std::uint8_t>(0x80u >> (p % 8));
  }
  for (; i + 8 <= count; i += 8) {
    std::uint32_t bits = 0;
    for (std::size_t k = 0; k < 8; ++k) bits |= (mask[i + k] == 0 ? 0x80u : 0u) >> k;
    plane[(first + i) / 8] = static_cast<std::uint8_t>(bits);
  }
  for (; i < count; ++i) {
    const std::size_t p = first + i;
    if (mask[i] == 0) plane[p / 8] |= static_cast<std::uint8_t>(0x80u >> (p % 8));
  }
  return true;
}

bool UnpackRaw(std::span<const std::uint8_t> bytes, std::int32_t width, std::int32_t height,
               std::vector<RawPixel>& colour, std::vector<RawPixel>& mask) {
  RawSizes sizes;
  if (!RawLayout(width, height, sizes)) return false;
  if (bytes.size() < sizes.colourBytes + sizes.maskBytes) return false;
  try {
    colour.resize(sizes.pixels);
    mask.resize(sizes.pixels);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return UnpackRawPixels(bytes, sizes, 0, colour, mask);
}

bool PackRaw(std::span<const RawPixel> colour, std::span<const RawPixel> mask, std::int32_t width,
             std::int32_t height, std::vector<std::uint8_t>& bytes) {
  RawSizes sizes;
  if (!RawLayout(width, height, sizes)) return false;
  if (colour.size() < sizes.pixels || mask.size() < sizes.pixels) return false;
  try {
    bytes.assign(sizes.fileBytes, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return PackRawPixels(colour.first(sizes.pixels), mask.first(sizes.pixels), sizes, 0, bytes);
}

}  // namespace tessarel
