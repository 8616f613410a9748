// BMP decoding, in memory. The input is hostile: every read is bounds-checked,
// and sizes are checked for overflow and against the pixel cap before any
// allocation. The layout it reads is in bmp_format.h.
#include "codec/bmp_codec.h"

#include <algorithm>
#include <array>
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

// Real RLE pictures stay far below this many pixels per file byte; the cap
// keeps a tiny file from making us allocate a huge, mostly blank canvas.
constexpr std::uint64_t kMaxRlePixelsPerFileByte = 1024;

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
  return infoSize == kBmpOs2HeaderSize;
}

bool IsKnownInfoSize(std::uint32_t infoSize) {
  switch (infoSize) {
    case kBmpCoreHeaderSize:
    case kBmpOs2ShortHeaderSize:
    case kBmpInfoHeaderSize:
    case kBmpRgbMasksHeaderSize:
    case kBmpAlphaMaskHeaderSize:
    case kBmpOs2HeaderSize:
    case kBmpV4HeaderSize:
    case kBmpV5HeaderSize:
      return true;
    default:
      return false;
  }
}

// The info header's fields after its size, as far as the header has them.
void ReadInfoFields(ByteReader& in, BmpHeader& h) {
  if (h.infoSize == kBmpCoreHeaderSize) {
    h.width = in.U16();
    h.height = in.U16();
    h.planes = in.U16();
    h.bitsPerPixel = in.U16();
    h.paletteEntrySize = 3;
    return;
  }
  h.width = in.I32();
  h.height = in.I32();
  h.planes = in.U16();
  h.bitsPerPixel = in.U16();
  if (h.infoSize >= kBmpInfoHeaderSize) {
    h.compression = in.U32();
    in.Skip(12);  // image size, resolution: the pixel layout alone decides what we read
    h.coloursUsed = in.U32();
    in.Skip(4);
  }
  if (h.infoSize >= kBmpRgbMasksHeaderSize && !IsOs2Header(h.infoSize)) {
    for (std::size_t i = 0; i < 3; ++i) h.masks[i] = in.U32();
    if (h.infoSize >= kBmpAlphaMaskHeaderSize) h.masks[3] = in.U32();
  }
}

bool ReadHeaders(ByteReader& in, BmpHeader& h) {
  if (in.U8() != 'B' || in.U8() != 'M') return false;
  // The file size and reserved fields are ignored: writers often get the size
  // wrong and nothing else depends on it.
  in.Skip(8);
  h.pixelOffset = in.U32();
  h.infoSize = in.U32();
  if (!IsKnownInfoSize(h.infoSize)) return false;
  // A header cut short reads as zeros, which no usable header holds.
  const std::size_t infoEnd = in.Position() + h.infoSize - 4;
  ReadInfoFields(in, h);
  in.Seek(infoEnd);

  if (h.infoSize == kBmpInfoHeaderSize &&
      (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields)) {
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

struct Channels {
  Channel red, green, blue, alpha;
};

std::uint32_t OpaqueBgr(const std::uint8_t* bgr) {
  return 0xFF000000u | (std::uint32_t{bgr[2]} << 16) | (std::uint32_t{bgr[1]} << 8) | bgr[0];
}

// As many entries as are wanted and fit before the pixels or the file's end.
void ReadPalette(ByteReader& in, const BmpHeader& h, std::vector<std::uint32_t>& palette) {
  const std::uint64_t wanted = h.coloursUsed == 0 || h.coloursUsed > (1u << h.bitsPerPixel)
                                   ? (1u << h.bitsPerPixel)
                                   : h.coloursUsed;
  std::uint64_t room = in.Size() - h.paletteStart;
  if (h.pixelOffset != 0) room = std::min<std::uint64_t>(room, h.pixelOffset - h.paletteStart);
  const std::uint64_t count = std::min<std::uint64_t>(wanted, room / h.paletteEntrySize);
  palette.resize(static_cast<std::size_t>(count));
  for (auto& colour : palette) colour = OpaqueBgr(in.Bytes(h.paletteEntrySize).data());
}

// 1, 2, 4 or 8 bits a pixel, the leftmost pixel in a byte's high bits. False
// for an index the palette lacks.
bool UnpackIndexedRow(const std::uint8_t* src, std::uint32_t bpp,
                      const std::vector<std::uint32_t>& palette, std::span<std::uint32_t> dst) {
  const unsigned perByte = 8 / bpp;
  const unsigned valueMask = (1u << bpp) - 1;
  for (std::size_t x = 0; x < dst.size(); ++x) {
    const unsigned shift = 8 - bpp * static_cast<unsigned>(x % perByte + 1);
    const unsigned index = (src[x / perByte] >> shift) & valueMask;
    if (index >= palette.size()) return false;
    dst[x] = palette[index];
  }
  return true;
}

// 16 or 32 bits a pixel through the header's masks.
void UnpackMaskedRow(const std::uint8_t* src, std::uint32_t bpp, const Channels& c,
                     std::span<std::uint32_t> dst) {
  const unsigned bytesPerPixel = bpp / 8;
  for (std::size_t x = 0; x < dst.size(); ++x, src += bytesPerPixel) {
    std::uint32_t v = std::uint32_t{src[0]} | (std::uint32_t{src[1]} << 8);
    if (bytesPerPixel == 4) v |= (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[3]} << 24);
    const std::uint32_t a = c.alpha.Present() ? c.alpha.Get(v) : 0xFF;
    dst[x] = (a << 24) | (c.red.Get(v) << 16) | (c.green.Get(v) << 8) | c.blue.Get(v);
  }
}

bool DecodeUncompressed(ByteReader& in, const BmpHeader& h,
                        const std::vector<std::uint32_t>& palette, DecodedBitmap& out) {
  const auto width = static_cast<std::uint64_t>(h.width);
  const auto height = static_cast<std::uint64_t>(h.height);
  const std::uint32_t bpp = h.bitsPerPixel;
  const std::uint64_t stride = BmpRowStride(width, bpp);
  // The last row may lack its padding: several writers stop at the last pixel.
  const std::uint64_t needed = stride * (height - 1) + (width * bpp + 7) / 8;
  if (!in.Has(needed)) return false;
  const std::span<const std::uint8_t> data = in.Bytes(needed);

  out.argb.resize(static_cast<std::size_t>(width * height));
  const Channels channels{Channel(h.masks[0]), Channel(h.masks[1]), Channel(h.masks[2]),
                          Channel(h.masks[3])};
  const bool useMasks = bpp == 16 || (bpp == 32 && h.compression != kBiRgb);

  for (std::uint64_t fileRow = 0; fileRow < height; ++fileRow) {
    const std::uint8_t* src = data.data() + fileRow * stride;
    const std::uint64_t outRow = h.topDown ? fileRow : height - 1 - fileRow;
    const std::span<std::uint32_t> dst(out.argb.data() + outRow * width,
                                       static_cast<std::size_t>(width));
    if (bpp <= 8) {
      if (!UnpackIndexedRow(src, bpp, palette, dst)) return false;
    } else if (bpp == 24) {
      UnpackBmpRow(src, 24, dst);
    } else if (!useMasks) {
      // 32-bit BI_RGB: the fourth byte is unused, whatever a writer left in it.
      for (std::size_t x = 0; x < dst.size(); ++x, src += 4) dst[x] = OpaqueBgr(src);
    } else {
      UnpackMaskedRow(src, bpp, channels, dst);
    }
  }
  return true;
}

// An RLE picture as palette indices, filled as the stream goes. Invariant:
// y < height and x <= width until the picture is whole. Writers that encode
// the row padded to 4 pixels (ImageMagick, GraphicsMagick, GIMP's RLE4) end a
// row with a run past its last pixel: those pixels are dropped, as other
// decoders drop them.
class RleCanvas {
 public:
  RleCanvas(std::uint64_t width, std::uint64_t height)
      : width_(width), height_(height), indices_(static_cast<std::size_t>(width * height), 0) {}

  bool Whole() const { return y_ >= height_; }
  void EndRow() {
    x_ = 0;
    ++y_;
  }
  // False when the move leaves the picture, other than to its very end.
  bool Move(unsigned right, unsigned up) {
    x_ += right;
    y_ += up;
    const bool inside = y_ < height_ && x_ <= width_;
    return inside || (y_ == height_ && x_ == 0);
  }
  template <class Index>
  void Put(unsigned count, Index index) {
    std::uint8_t* dst = indices_.data() + y_ * width_;
    for (unsigned i = 0; i < count && x_ < width_; ++i, ++x_) dst[x_] = index(i);
  }

  // Bottom-up indices to top-down colours; false for an index the palette lacks.
  bool Paint(const std::vector<std::uint32_t>& palette, DecodedBitmap& out) const {
    out.argb.resize(indices_.size());
    for (std::uint64_t row = 0; row < height_; ++row) {
      const std::uint8_t* src = indices_.data() + row * width_;
      std::uint32_t* dst = out.argb.data() + (height_ - 1 - row) * width_;
      for (std::uint64_t i = 0; i < width_; ++i) {
        if (src[i] >= palette.size()) return false;
        dst[i] = palette[src[i]];
      }
    }
    return true;
  }

 private:
  std::uint64_t width_, height_;
  std::uint64_t x_ = 0, y_ = 0;
  std::vector<std::uint8_t> indices_;
};

// RLE4 holds two indices a byte, the first in the high nibble.
std::uint8_t Nibble(std::uint8_t byte, unsigned i) {
  return static_cast<std::uint8_t>(i % 2 == 0 ? byte >> 4 : byte & 0x0F);
}

enum class RleStep { kGoOn, kEnd, kBroken };

// One code of the stream: a run of one byte's indices, or an escape (end of
// row, end of picture, a move, or a run of indices given one by one).
RleStep DecodeRleCode(ByteReader& in, bool four, RleCanvas& canvas) {
  const unsigned first = in.U8();
  const std::uint8_t second = in.U8();
  if (first > 0) {
    canvas.Put(first, [&](unsigned i) { return four ? Nibble(second, i) : second; });
    return RleStep::kGoOn;
  }
  switch (second) {
    case 0:
      canvas.EndRow();
      return RleStep::kGoOn;
    case 1:
      return RleStep::kEnd;
    case 2: {
      if (!in.Has(2)) return RleStep::kBroken;
      const unsigned right = in.U8();
      const unsigned up = in.U8();
      return canvas.Move(right, up) ? RleStep::kGoOn : RleStep::kBroken;
    }
    default: {
      const unsigned count = second;
      const unsigned dataBytes = four ? (count + 1) / 2 : count;
      const auto run = in.Bytes(dataBytes + dataBytes % 2);  // runs keep 16-bit alignment
      if (run.empty()) return RleStep::kBroken;
      canvas.Put(count, [&](unsigned i) { return four ? Nibble(run[i / 2], i) : run[i]; });
      return RleStep::kGoOn;
    }
  }
}

// Pixels the stream never reaches keep index 0 and so show palette colour 0,
// opaque, as ImageMagick renders them. Once every row has been ended the
// picture is whole, and whatever follows is ignored.
bool DecodeRle(ByteReader& in, const BmpHeader& h, const std::vector<std::uint32_t>& palette,
               DecodedBitmap& out) {
  const auto width = static_cast<std::uint64_t>(h.width);
  const auto height = static_cast<std::uint64_t>(h.height);
  if (width * height > static_cast<std::uint64_t>(in.Size()) * kMaxRlePixelsPerFileByte) {
    return false;
  }
  const bool four = h.compression == kBiRle4;
  RleCanvas canvas(width, height);
  RleStep step = RleStep::kGoOn;
  while (step == RleStep::kGoOn && !canvas.Whole() && in.Has(2)) {
    step = DecodeRleCode(in, four, canvas);
  }
  // Some writers close the last row and stop without the end-of-bitmap code;
  // a stream that stops anywhere else is a truncated file.
  if (step == RleStep::kBroken || (step != RleStep::kEnd && !canvas.Whole())) return false;
  return canvas.Paint(palette, out);
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

}  // namespace

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
  if (h.infoSize != kBmpInfoHeaderSize || (h.bitsPerPixel != 24 && h.bitsPerPixel != 32) ||
      h.compression != kBiRgb || h.pixelOffset < h.paletteStart) {
    return false;
  }
  plain.width = static_cast<std::uint32_t>(h.width);
  plain.height = static_cast<std::uint32_t>(h.height);
  plain.bitsPerPixel = static_cast<int>(h.bitsPerPixel);
  plain.topDown = h.topDown;
  plain.pixelOffset = h.pixelOffset;
  plain.stride = BmpRowStride(plain.width, h.bitsPerPixel);
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

}  // namespace tessarel
