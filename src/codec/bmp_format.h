// The BMP byte layout that bmp_decoder.cpp reads and bmp_encoder.cpp writes.
// Every number is little-endian.
//
//   offset 0    file header, 14 bytes: "BM", u32 file size, u32 reserved,
//               u32 offset of the bottom row (0 from some writers: right
//               after the palette)
//   offset 14   info header, its u32 size first:
//                 12  OS/2 1.x: u16 width, height, planes, bits per pixel;
//                     palette entries of 3 bytes (B, G, R)
//                 16  OS/2 2.x cut short: i32 width, height, u16 planes,
//                     bits per pixel
//                 40  as 16, then u32 compression, image size, x and y
//                     resolution, colours used, colours important
//                 52  as 40, then u32 red, green and blue masks
//                 56  as 52, then u32 alpha mask
//                 64  OS/2 2.x whole: as 40, then fields that are not masks
//                108, 124  as 56, then colour space fields
//               a negative height means rows top-down; planes is 1
//   then        after a 40-byte header only, with compression BI_BITFIELDS 3
//               masks, with BI_ALPHABITFIELDS 4
//   then        the palette for 8 bits or fewer: entries B, G, R, unused
//   pixels      rows bottom-up, each padded to a multiple of 4 bytes, or an
//               RLE stream; 24 bits are B, G, R, 32 bits B, G, R, unused
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tessarel {

inline constexpr std::size_t kBmpFileHeaderSize = 14;

// Info header sizes, by the fields they end with.
inline constexpr std::uint32_t kBmpCoreHeaderSize = 12;
inline constexpr std::uint32_t kBmpOs2ShortHeaderSize = 16;
inline constexpr std::uint32_t kBmpInfoHeaderSize = 40;
inline constexpr std::uint32_t kBmpRgbMasksHeaderSize = 52;
inline constexpr std::uint32_t kBmpAlphaMaskHeaderSize = 56;
inline constexpr std::uint32_t kBmpOs2HeaderSize = 64;
inline constexpr std::uint32_t kBmpV4HeaderSize = 108;
inline constexpr std::uint32_t kBmpV5HeaderSize = 124;

enum : std::uint32_t {
  kBiRgb = 0,
  kBiRle8 = 1,
  kBiRle4 = 2,
  kBiBitfields = 3,
  kBiAlphaBitfields = 6,
};

// Bytes per row, padding included. Widths have at most 32 bits and depths
// at most 32, so the product cannot overflow.
constexpr std::uint64_t BmpRowStride(std::uint64_t width, std::uint64_t bitsPerPixel) {
  return (width * bitsPerPixel + 31) / 32 * 4;
}

// Where the host is little-endian an ARGB word already is B,G,R,A in
// memory, and four 24-bit pixels move as three 32-bit words: byte-by-byte
// loops over 3-byte pixels do not vectorise, and these are the hot loops of
// every conversion.
inline constexpr bool kLittleEndian = std::endian::native == std::endian::little;

}  // namespace tessarel
