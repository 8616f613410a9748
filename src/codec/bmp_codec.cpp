#include "codec/bmp_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <span>
#include <vector>

#include "codec/row_shuffles.h"

namespace tessarel {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kEncodedHeadersSize = kFileHeaderSize + 40;

// Real RLE pictures stay far below this many pixels per file byte; the cap
// keeps a tiny file from making us allocate a huge, mostly blank canvas.
constexpr std::uint64_t kMaxRlePixelsPerFileByte = 1024;

// Where the host is little-endian an ARGB word already is B,G,R,A in
// memory, and four 24-bit pixels move as three 32-bit words: byte-by-byte
// loops over 3-byte pixels do not vectorise, and these are the hot loops of
// every conversion.
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Resolution written by EncodeBmp: 96 dots per inch, as GDI+ writes it, so
// that both builds write the same bytes.
constexpr std::uint32_t kPixelsPerMetre = 3780;

enum : std::uint32_t {
  kBiRgb = 0,
  kBiRle8 = 1,
  kBiRle4 = 2,
  kBiBitfields = 3,
  kBiAlphaBitfields = 6,
};

// Every read from the file goes through here: callers ask Has(n) before
// reading n bytes, so a truncated or lying file can never move us past its end.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Size() const { return bytes_.size(); }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return bytes_.size() - pos_; }
  bool Has(std::uint64_t n) const { return n <= Remaining(); }

  bool Seek(std::uint64_t pos) {
    if (pos > bytes_.size()) return false;
    pos_ = static_cast<std::size_t>(pos);
    return true;
  }
  bool Skip(std::uint64_t n) {
    if (!Has(n)) return false;
    pos_ += static_cast<std::size_t>(n);
    return true;
  }

  // A read the caller forgot to check yields zeros and pins the position at
  // the end, so even a logic slip cannot index outside the buffer.
  std::uint8_t U8() { return static_cast<std::uint8_t>(Little(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Little(2)); }
  std::uint32_t U32() { return Little(4); }
  std::int32_t I32() { return static_cast<std::int32_t>(Little(4)); }

  std::span<const std::uint8_t> Bytes(std::uint64_t n) {
    if (!Has(n)) {
      pos_ = bytes_.size();
      return {};
    }
    const auto result = bytes_.subspan(pos_, static_cast<std::size_t>(n));
    pos_ += static_cast<std::size_t>(n);
    return result;
  }

 private:
  std::uint32_t Little(std::size_t n) {
    if (!Has(n)) {
      pos_ = bytes_.size();
      return 0;
    }
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v |= std::uint32_t{bytes_[pos_ + i]} << (8 * i);
    pos_ += n;
    return v;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

struct BmpHeader {
  std::uint32_t infoSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // always positive once parsed; topDown carries the sign
  bool topDown = false;
  std::uint32_t planes = 1;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t coloursUsed = 0;
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
  std::uint64_t pixelOffset = 0;
  std::size_t paletteStart = 0;
  std::size_t paletteEntrySize = 4;
};

// The one OS/2 header whose fields could be mistaken for Windows ones; the
// shorter OS/2 headers end before masks and compression.
bool IsOs2Header(std::uint32_t infoSize) {
  return infoSize == 64;
}

bool ReadHeaders(ByteReader& in, BmpHeader& h) {
  if (in.U8() != 'B' || in.U8() != 'M') return false;
  // The file size and reserved fields are ignored: writers often get the size
  // wrong and nothing else depends on it.
  in.Skip(8);
  h.pixelOffset = in.U32();
  h.infoSize = in.U32();
  switch (h.infoSize) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
      break;
    default:
      return false;
  }
  // A header cut short reads as zeros, which no usable header holds.
  const std::size_t infoEnd = in.Position() + h.infoSize - 4;

  if (h.infoSize == 12) {
    h.width = in.U16();
    h.height = in.U16();
    h.planes = in.U16();
    h.bitsPerPixel = in.U16();
    h.paletteEntrySize = 3;
  } else {
    h.width = in.I32();
    h.height = in.I32();
    h.planes = in.U16();
    h.bitsPerPixel = in.U16();
    if (h.infoSize >= 40) {
      h.compression = in.U32();
      in.Skip(12);  // image size, resolution: the pixel layout alone decides what we read
      h.coloursUsed = in.U32();
      in.Skip(4);
    }
    if (h.infoSize >= 52 && !IsOs2Header(h.infoSize)) {
      for (std::size_t i = 0; i < 3; ++i) h.masks[i] = in.U32();
      if (h.infoSize >= 56) h.masks[3] = in.U32();
    }
  }
  in.Seek(infoEnd);

  if (h.infoSize == 40 && (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields)) {
    const std::size_t count = h.compression == kBiAlphaBitfields ? 4 : 3;
    for (std::size_t i = 0; i < count; ++i) h.masks[i] = in.U32();
  }
  h.paletteStart = in.Position();

  if (h.height < 0) {
    h.topDown = true;
    h.height = -h.height;
  }
  return true;
}

bool IsContiguous(std::uint32_t mask) {
  if (mask == 0) return true;
  while ((mask & 1) == 0) mask >>= 1;
  return (mask & (mask + 1)) == 0;
}

bool HeaderIsUsable(const BmpHeader& h) {
  if (h.width <= 0 || h.height <= 0 || h.planes != 1) return false;
  const std::uint64_t pixels =
      static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height);
  if (pixels > kMaxDecodedPixels) return false;
  const std::uint32_t bpp = h.bitsPerPixel;
  switch (h.compression) {
    case kBiRgb:
      return bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    case kBiRle8:
    case kBiRle4:
      // A top-down picture has no way to express RLE's bottom-up row skips.
      return !h.topDown && bpp == (h.compression == kBiRle8 ? 8u : 4u);
    case kBiBitfields:
    case kBiAlphaBitfields:
      // OS/2 headers give 3 the meaning of Huffman coding, which we do not read.
      if (IsOs2Header(h.infoSize) || (bpp != 16 && bpp != 32)) return false;
      for (const std::uint32_t m : h.masks) {
        if (!IsContiguous(m) || (bpp == 16 && m > 0xFFFF)) return false;
      }
      return true;
    default:
      return false;
  }
}

// Scales one masked channel to 8 bits. Narrow channels repeat their bit
// pattern (as ImageMagick does for 5 and 6 bits, so 5-6-5 files match it);
// wide ones round to the nearest level, which truncation would bias darker.
class Channel {
 public:
  explicit Channel(std::uint32_t mask) : mask_(mask) {
    if (mask == 0) return;
    while (((mask >> shift_) & 1) == 0) ++shift_;
    while (shift_ + bits_ < 32 && ((mask >> (shift_ + bits_)) & 1) != 0) ++bits_;
    if (bits_ <= 16) {
      table_.resize(std::size_t{1} << bits_);
      for (std::uint32_t v = 0; v < table_.size(); ++v) table_[v] = Widen(v);
    }
  }

  bool Present() const { return mask_ != 0; }

  std::uint32_t Get(std::uint32_t pixel) const {
    if (mask_ == 0) return 0;
    const std::uint32_t v = (pixel & mask_) >> shift_;
    return table_.empty() ? Widen(v) : table_[v];
  }

 private:
  std::uint8_t Widen(std::uint32_t v) const {
    if (bits_ > 8) {
      const std::uint64_t max = (std::uint64_t{1} << bits_) - 1;
      return static_cast<std::uint8_t>((v * std::uint64_t{255} + max / 2) / max);
    }
    std::uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += static_cast<int>(bits_)) {
      out = (out << bits_) | v;
    }
    const int extra =
        ((8 + static_cast<int>(bits_) - 1) / static_cast<int>(bits_)) * static_cast<int>(bits_) - 8;
    return static_cast<std::uint8_t>(out >> extra);
  }

  std::uint32_t mask_;
  unsigned shift_ = 0;
  unsigned bits_ = 0;
  std::vector<std::uint8_t> table_;
};

// As many entries as are wanted and fit before the pixels or the file's end.
void ReadPalette(ByteReader& in, const BmpHeader& h, std::vector<std::uint32_t>& palette) {
  const std::uint64_t wanted = h.coloursUsed == 0 || h.coloursUsed > (1u << h.bitsPerPixel)
                                   ? (1u << h.bitsPerPixel)
                                   : h.coloursUsed;
  std::uint64_t room = in.Size() - h.paletteStart;
  if (h.pixelOffset != 0) room = std::min<std::uint64_t>(room, h.pixelOffset - h.paletteStart);
  const std::uint64_t count = std::min<std::uint64_t>(wanted, room / h.paletteEntrySize);
  palette.resize(static_cast<std::size_t>(count));
  for (auto& colour : palette) {
    const auto entry = in.Bytes(h.paletteEntrySize);
    colour =
        0xFF000000u | (std::uint32_t{entry[2]} << 16) | (std::uint32_t{entry[1]} << 8) | entry[0];
  }
}

bool DecodeUncompressed(ByteReader& in, const BmpHeader& h,
                        const std::vector<std::uint32_t>& palette, DecodedBitmap& out) {
  const auto width = static_cast<std::uint64_t>(h.width);
  const auto height = static_cast<std::uint64_t>(h.height);
  const std::uint64_t rowBits = width * h.bitsPerPixel;
  const std::uint64_t stride = (rowBits + 31) / 32 * 4;
  // The last row may lack its padding: several writers stop at the last pixel.
  const std::uint64_t needed = stride * (height - 1) + (rowBits + 7) / 8;
  if (!in.Has(needed)) return false;
  const std::span<const std::uint8_t> data = in.Bytes(needed);

  out.argb.resize(static_cast<std::size_t>(width * height));
  const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.masks[3]);
  const std::uint32_t bpp = h.bitsPerPixel;
  const bool useMasks = bpp == 16 || (bpp == 32 && h.compression != kBiRgb);

  for (std::uint64_t fileRow = 0; fileRow < height; ++fileRow) {
    const std::uint8_t* src = data.data() + fileRow * stride;
    const std::uint64_t outRow = h.topDown ? fileRow : height - 1 - fileRow;
    std::uint32_t* dst = out.argb.data() + outRow * width;
    if (bpp <= 8) {
      const unsigned perByte = 8 / bpp;
      const unsigned valueMask = (1u << bpp) - 1;
      for (std::uint64_t x = 0; x < width; ++x) {
        const unsigned shift = 8 - bpp * static_cast<unsigned>(x % perByte + 1);
        const unsigned index = (src[x / perByte] >> shift) & valueMask;
        if (index >= palette.size()) return false;
        dst[x] = palette[index];
      }
    } else if (bpp == 24) {
      UnpackBmpRow(src, 24, {dst, static_cast<std::size_t>(width)});
    } else if (!useMasks) {
      // 32-bit BI_RGB: the fourth byte is unused, whatever a writer left in it.
      for (std::uint64_t x = 0; x < width; ++x, src += 4) {
        dst[x] =
            0xFF000000u | (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[1]} << 8) | src[0];
      }
    } else {
      const unsigned bytesPerPixel = bpp / 8;
      for (std::uint64_t x = 0; x < width; ++x, src += bytesPerPixel) {
        std::uint32_t v = std::uint32_t{src[0]} | (std::uint32_t{src[1]} << 8);
        if (bytesPerPixel == 4) v |= (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[3]} << 24);
        const std::uint32_t a = alpha.Present() ? alpha.Get(v) : 0xFF;
        dst[x] = (a << 24) | (red.Get(v) << 16) | (green.Get(v) << 8) | blue.Get(v);
      }
    }
  }
  return true;
}

// RLE pixels are gathered as palette indices first; those the stream never
// reaches keep index 0 and so show palette colour 0, opaque, as ImageMagick
// renders them.
bool DecodeRle(ByteReader& in, const BmpHeader& h, const std::vector<std::uint32_t>& palette,
               DecodedBitmap& out) {
  const auto width = static_cast<std::uint64_t>(h.width);
  const auto height = static_cast<std::uint64_t>(h.height);
  if (width * height > static_cast<std::uint64_t>(in.Size()) * kMaxRlePixelsPerFileByte) {
    return false;
  }
  const bool four = h.compression == kBiRle4;
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width * height), 0);

  // Invariant inside the loop: y < height and x <= width. Writers that encode
  // the row padded to 4 pixels (ImageMagick, GraphicsMagick, GIMP's RLE4) end
  // a row with a run past its last pixel: those pixels are dropped, as other
  // decoders drop them. Once every row has been ended the picture is whole,
  // and whatever follows is ignored.
  std::uint64_t x = 0;
  std::uint64_t y = 0;
  bool ended = false;
  const auto put = [&](unsigned count, auto index) {
    std::uint8_t* dst = indices.data() + y * width;
    for (unsigned i = 0; i < count && x < width; ++i, ++x) dst[x] = index(i);
  };
  while (y < height && in.Has(2)) {
    const unsigned first = in.U8();
    const unsigned second = in.U8();
    if (first > 0) {
      put(first, [&](unsigned i) {
        return static_cast<std::uint8_t>(!four ? second : i % 2 == 0 ? second >> 4 : second & 0x0F);
      });
    } else if (second == 0) {
      x = 0;
      ++y;
    } else if (second == 1) {
      ended = true;
      break;
    } else if (second == 2) {
      if (!in.Has(2)) return false;
      x += in.U8();
      y += in.U8();
      const bool inside = y < height && x <= width;
      if (!inside && !(y == height && x == 0)) return false;
    } else {
      const unsigned count = second;
      const unsigned dataBytes = four ? (count + 1) / 2 : count;
      const auto run = in.Bytes(dataBytes + dataBytes % 2);  // runs keep 16-bit alignment
      if (run.empty()) return false;
      put(count, [&](unsigned i) {
        return static_cast<std::uint8_t>(!four        ? run[i]
                                         : i % 2 == 0 ? run[i / 2] >> 4
                                                      : run[i / 2] & 0x0F);
      });
    }
  }
  // Some writers close the last row and stop without the end-of-bitmap code;
  // a stream that stops anywhere else is a truncated file.
  if (!ended && y < height) return false;

  out.argb.resize(indices.size());
  for (std::uint64_t row = 0; row < height; ++row) {
    const std::uint8_t* src = indices.data() + row * width;
    std::uint32_t* dst = out.argb.data() + (height - 1 - row) * width;
    for (std::uint64_t i = 0; i < width; ++i) {
      if (src[i] >= palette.size()) return false;
      dst[i] = palette[src[i]];
    }
  }
  return true;
}

bool DecodeChecked(std::span<const std::uint8_t> file, DecodedBitmap& out) {
  ByteReader in(file);
  BmpHeader h;
  out.why = "its headers are broken, of a kind not read, or claim more than 2^26 pixels";
  if (!ReadHeaders(in, h) || !HeaderIsUsable(h)) return false;
  out.why = "its pixels would start outside the file";
  if (h.pixelOffset != 0 && (h.pixelOffset < h.paletteStart || h.pixelOffset > file.size())) {
    return false;
  }

  if (h.compression == kBiRgb && h.bitsPerPixel == 16) {
    h.masks = {0x7C00, 0x03E0, 0x001F, 0};
  }

  std::vector<std::uint32_t> palette;
  if (h.bitsPerPixel <= 8) {
    ReadPalette(in, h, palette);
  }
  if (h.pixelOffset == 0) h.pixelOffset = in.Position();
  in.Seek(h.pixelOffset);

  out.width = static_cast<std::uint32_t>(h.width);
  out.height = static_cast<std::uint32_t>(h.height);
  // BI_RGB leaves the fourth byte unused, whatever mask a header gives.
  out.hasAlpha = h.masks[3] != 0 && h.compression != kBiRgb;
  if (h.compression == kBiRle8 || h.compression == kBiRle4) {
    out.why = "its RLE data is broken or ends before the picture does";
    return DecodeRle(in, h, palette, out);
  }
  out.why = "its pixels end before the picture does or name a colour its palette lacks";
  return DecodeUncompressed(in, h, palette, out);
}

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

void UnpackBmpRow(const std::uint8_t* p, int bitsPerPixel, std::span<std::uint32_t> argb) {
  const std::size_t count = argb.size();
  std::size_t x = 0;
  if (bitsPerPixel == 32) {
    if constexpr (kLittleEndian) {
      std::memcpy(argb.data(), p, count * 4);
    } else {
      for (; x < count; ++x, p += 4) {
        argb[x] =
            std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
      }
    }
    return;
  }
  constexpr std::uint32_t kOpaque = 0xFF000000u;
  x = UnpackBmpRow24Shuffled(p, argb);
  p += 3 * x;
  if constexpr (kLittleEndian) {
    for (; x + 4 <= count; x += 4, p += 12) {
      std::uint32_t w[3];
      std::memcpy(w, p, 12);
      argb[x] = kOpaque | (w[0] & 0xFFFFFF);
      argb[x + 1] = kOpaque | w[0] >> 24 | (w[1] & 0xFFFF) << 8;
      argb[x + 2] = kOpaque | w[1] >> 16 | (w[2] & 0xFF) << 16;
      argb[x + 3] = kOpaque | w[2] >> 8;
    }
  }
  for (; x < count; ++x, p += 3) {
    argb[x] = kOpaque | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
  }
}

bool FindPlainBmp(std::span<const std::uint8_t> header, std::uint64_t fileBytes, PlainBmp& plain) {
  ByteReader in(header);
  BmpHeader h;
  if (!ReadHeaders(in, h) || h.width <= 0 || h.height <= 0 || h.height > INT32_MAX ||
      h.planes != 1) {
    return false;
  }
  if (h.infoSize != 40 || (h.bitsPerPixel != 24 && h.bitsPerPixel != 32) ||
      h.compression != kBiRgb || h.pixelOffset < h.paletteStart) {
    return false;
  }
  plain.width = static_cast<std::uint32_t>(h.width);
  plain.height = static_cast<std::uint32_t>(h.height);
  plain.bitsPerPixel = static_cast<int>(h.bitsPerPixel);
  plain.topDown = h.topDown;
  plain.pixelOffset = h.pixelOffset;
  plain.stride = (std::uint64_t{plain.width} * (h.bitsPerPixel / 8) + 3) / 4 * 4;
  return plain.pixelOffset <= fileBytes &&
         plain.stride <= (fileBytes - plain.pixelOffset) / plain.height;
}

bool BmpTooBigToDecode(std::span<const std::uint8_t> header, std::string_view& why) {
  ByteReader in(header);
  BmpHeader h;
  if (!ReadHeaders(in, h) || h.width <= 0 || h.height <= 0) return false;
  if (static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height) <=
      kMaxDecodedPixels) {
    return false;
  }
  // In the decoder's own words: it refuses such headers before reading on.
  DecodedBitmap refused;
  DecodeBmp(header, refused);
  why = refused.why;
  return true;
}

bool DecodeBmp(std::span<const std::uint8_t> file, DecodedBitmap& out) {
  out = DecodedBitmap{};
  bool ok = false;
  bool outOfMemory = false;
  try {
    ok = DecodeChecked(file, out);
  } catch (const std::exception&) {
    // Only allocation can throw here; a picture we cannot hold is refused.
    outOfMemory = true;
  }
  const std::string_view why = outOfMemory ? "" : out.why;
  if (!ok) out = DecodedBitmap{};
  if (!ok) out.why = why;
  out.outOfMemory = outOfMemory;
  return ok;
}

bool PlanBmpFile(std::uint32_t width, std::uint32_t height, int bitsPerPixel,
                 BmpFileLayout& layout) {
  if (bitsPerPixel != 24 && bitsPerPixel != 32) return false;
  if (width == 0 || height == 0) return false;
  // The header gives the file's size in 32 bits, the one limit a written file
  // has; it also keeps width and height within their signed 32-bit fields.
  constexpr std::uint64_t kMaxFileBytes = 0xFFFFFFFFu;
  const std::uint64_t bytesPerPixel = static_cast<std::uint64_t>(bitsPerPixel) / 8;
  const std::uint64_t stride = (width * bytesPerPixel + 3) / 4 * 4;
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
  PutU32(p + 14, 40);
  PutU32(p + 18, width);
  PutU32(p + 22, height);
  PutU16(p + 26, 1);
  PutU16(p + 28, static_cast<std::uint32_t>(bitsPerPixel));
  PutU32(p + 30, kBiRgb);
  PutU32(p + 34, static_cast<std::uint32_t>(layout.fileBytes - layout.pixelOffset));
  PutU32(p + 38, kPixelsPerMetre);
  PutU32(p + 42, kPixelsPerMetre);
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
