// BMP reading (bmp_decoder.cpp) and writing (bmp_encoder.cpp), in memory
// only: the image layer wraps these with file access. Decoding treats the
// input as hostile. The byte layout is in bmp_format.h.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "codec/decoded_bitmap.h"

namespace tessarel {

// Decodes a whole BMP file. False (and out left empty) for anything it
// refuses: truncated data, bad headers, bad palette indices or RLE runs,
// sizes over kMaxDecodedPixels or more than the file can hold.
bool DecodeBmp(std::span<const std::uint8_t> file, DecodedBitmap& out);

struct BmpFileLayout {
  std::size_t pixelOffset = 0;  // where the bottom row starts
  std::size_t stride = 0;       // bytes per row, padding included
  std::size_t fileBytes = 0;
};

// The layout of the file EncodeBmp writes for these sizes: 24 bits B,G,R or
// 32 bits B,G,R,A per pixel, rows bottom-up and padded to 4 bytes. False for
// other depths, a zero size, and a file of 4 GiB or more, which the header
// cannot express.
bool PlanBmpFile(std::uint32_t width, std::uint32_t height, int bitsPerPixel,
                 BmpFileLayout& layout);

// Writes the headers into the first layout.pixelOffset bytes of file.
void WriteBmpHeaders(std::uint32_t width, std::uint32_t height, int bitsPerPixel,
                     const BmpFileLayout& layout, std::span<std::uint8_t> file);

// A BMP file whose pixels can be read in place, row by row, with no
// decoding: 40-byte header, 24 or 32 bits, uncompressed, every row there.
struct PlainBmp {
  std::uint32_t width = 0;
  std::uint32_t height = 0;  // at most INT32_MAX
  int bitsPerPixel = 24;
  bool topDown = false;
  std::uint64_t pixelOffset = 0;  // where the file's first row starts
  std::uint64_t stride = 0;       // bytes per row, padding included
};

// Reads the headers at the start of a file of fileBytes bytes; false unless
// the file is such a plain BMP. No pixel cap: its rows are never held whole.
bool FindPlainBmp(std::span<const std::uint8_t> header, std::uint64_t fileBytes, PlainBmp& plain);

// True when the file's first bytes are BMP headers that claim more than
// kMaxDecodedPixels, which DecodeBmp refuses; why is its reason.
bool BmpTooBigToDecode(std::span<const std::uint8_t> header, std::string_view& why);

// One row of pixels in a BMP file's byte order, B, G, R (, A), to and from
// ARGB words; 24-bit pixels read back opaque. argb.size() pixels are moved.
void PackBmpRow(std::span<const std::uint32_t> argb, int bitsPerPixel, std::uint8_t* out);
void UnpackBmpRow(const std::uint8_t* in, int bitsPerPixel, std::span<std::uint32_t> argb);

// bitsPerPixel 24: 40-byte header, bottom-up, rows padded to 4 bytes, alpha
// dropped. bitsPerPixel 32: BI_RGB with the alpha byte kept. argb holds
// width * height pixels, top row first.
bool EncodeBmp(std::uint32_t width, std::uint32_t height, int bitsPerPixel,
               std::span<const std::uint32_t> argb, std::vector<std::uint8_t>& out);

}  // namespace tessarel
