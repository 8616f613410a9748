// BMP encoding, in memory: a 40-byte info header and BI_RGB pixels, the
// layout of bmp_format.h.
#include "codec/bmp_codec.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <span>
#include <vector>

#include "codec/bmp_format.h"
#include "codec/row_shuffles.h"

namespace tessarel {
namespace {

constexpr std::size_t kEncodedHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;

// Resolution written by EncodeBmp: 96 dots per inch, as GDI+ writes it, so
// that both builds write the same bytes.
constexpr std::uint32_t kPixelsPerMetre = 3780;

void PutU16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
  PutU16(p, v);
  PutU16(p + 2, v >> 16);
}

}  // namespace

void PackBmpRow(std::span<const std::uint32_t> argb, int bitsPerPixel, std::uint8_t* p) {
  const std::size_t count = argb.size();
  std::size_t x = 0;
  if (bitsPerPixel == 32) {
    if constexpr (kLittleEndian) {
      std::memcpy(p, argb.data(), count * 4);
    } else {
      for (; x < count; ++x) PutU32(p + 4 * x, argb[x]);
    }
    return;
  }
  x = PackBmpRow24Shuffled(argb, p);
  p += 3 * x;
  if constexpr (kLittleEndian) {
    for (; x + 4 <= count; x += 4, p += 12) {
      const std::uint32_t a = argb[x], b = argb[x + 1], c = argb[x + 2], d = argb[x + 3];
      // Three separate stores: one 12-byte copy from a staging array makes the
      // compiler reload it in pieces the store buffer cannot forward.
      const std::uint32_t w0 = (a & 0xFFFFFF) | b << 24;
      const std::uint32_t w1 = ((b >> 8) & 0xFFFF) | c << 16;
      const std::uint32_t w2 = ((c >> 16) & 0xFF) | d << 8;
      std::memcpy(p, &w0, 4);
      std::memcpy(p + 4, &w1, 4);
      std::memcpy(p + 8, &w2, 4);
    }
  }
  for (; x < count; ++x, p += 3) {
    p[0] = static_cast<std::uint8_t>(argb[x]);
    p[1] = static_cast<std::uint8_t>(argb[x] >> 8);
    p[2] = static_cast<std::uint8_t>(argb[x] >> 16);
  }
}

bool PlanBmpFile(std::uint32_t width, std::uint32_t height, int bitsPerPixel,
                 BmpFileLayout& layout) {
  if (bitsPerPixel != 24 && bitsPerPixel != 32) return false;
  if (width == 0 || height == 0) return false;
  // The header gives the file's size in 32 bits, the one limit a written file
  // has; it also keeps width and height within their signed 32-bit fields.
  constexpr std::uint64_t kMaxFileBytes = 0xFFFFFFFFu;
  const std::uint64_t stride = BmpRowStride(width, static_cast<std::uint64_t>(bitsPerPixel));
  if (stride > (kMaxFileBytes - kEncodedHeadersSize) / height) return false;
  layout.pixelOffset = kEncodedHeadersSize;
  layout.stride = static_cast<std::size_t>(stride);
  layout.fileBytes = static_cast<std::size_t>(kEncodedHeadersSize + stride * height);
  return true;
}

void WriteBmpHeaders(std::uint32_t width, std::uint32_t height, int bitsPerPixel,
                     const BmpFileLayout& layout, std::span<std::uint8_t> file) {
  if (file.size() < kEncodedHeadersSize) return;
  std::uint8_t* p = file.data();
  std::memset(p, 0, kEncodedHeadersSize);
  p[0] = 'B';
  p[1] = 'M';
  PutU32(p + 2, static_cast<std::uint32_t>(layout.fileBytes));
  PutU32(p + 10, static_cast<std::uint32_t>(layout.pixelOffset));
  // Colours used and important stay 0: there is no palette.
  std::uint8_t* info = p + kBmpFileHeaderSize;
  PutU32(info, kBmpInfoHeaderSize);
  PutU32(info + 4, width);
  PutU32(info + 8, height);
  PutU16(info + 12, 1);
  PutU16(info + 14, static_cast<std::uint32_t>(bitsPerPixel));
  PutU32(info + 16, kBiRgb);
  PutU32(info + 20, static_cast<std::uint32_t>(layout.fileBytes - layout.pixelOffset));
  PutU32(info + 24, kPixelsPerMetre);
  PutU32(info + 28, kPixelsPerMetre);
}

bool EncodeBmp(std::uint32_t width, std::uint32_t height, int bitsPerPixel,
               std::span<const std::uint32_t> argb, std::vector<std::uint8_t>& out) {
  out.clear();
  BmpFileLayout layout;
  if (!PlanBmpFile(width, height, bitsPerPixel, layout)) return false;
  if (std::uint64_t{width} * height > argb.size()) return false;
  try {
    // Row padding relies on this zero fill.
    out.assign(layout.fileBytes, 0);
  } catch (const std::exception&) {
    out.clear();
    return false;
  }
  WriteBmpHeaders(width, height, bitsPerPixel, layout, out);

  for (std::uint64_t row = 0; row < height; ++row) {
    PackBmpRow(argb.subspan(row * width, width), bitsPerPixel,
               out.data() + layout.pixelOffset + (height - 1 - row) * layout.stride);
  }
  return true;
}

}  // namespace tessarel
