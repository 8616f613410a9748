// The image layer where there is no GDI+: our BMP codec and giflib, and rows
// read from files as they are needed.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "codec/bmp_codec.h"
#include "codec/decoded_bitmap.h"
#include "codec/gif_decoder.h"
#include "files/banded_file.h"
#include "files/read_only_file.h"
#include "files/staged_files.h"
#include "image/pixel_image.h"
#include "platform/failure_reason.h"
#include "platform/shortage.h"

namespace tessarel {

struct NativeImage;

namespace {

struct FreeDeleter {
  void operator()(std::uint8_t* p) const noexcept { std::free(p); }
};

}  // namespace

// A blank or written image, held as the BMP file it will be saved as: saving
// is one write with no conversion and no second copy of the picture. It comes
// from calloc, where large blocks arrive as zero pages with no pass over the
// memory to clear them.
struct BmpFilePixels {
  std::unique_ptr<std::uint8_t, FreeDeleter> file;
  BmpFileLayout layout;

  // All zero bits: opaque black as Rgb, transparent as Argb.
  bool Allocate(const NativeImage& image);
  std::uint8_t* At(const NativeImage& image, std::uint32_t x, std::uint32_t y) const;
  bool Read(NativeImage& image, std::uint32_t x0, std::uint32_t y, std::span<std::uint32_t> argb);
  void Write(NativeImage& image, std::uint32_t x0, std::uint32_t y,
             std::span<const std::uint32_t> argb);
  bool Stage(PixelImage& image, StagedFiles& files, const std::string& path);
};

// A decoded file: the decoder's ARGB words, row-major.
struct DecodedPixels {
  std::vector<std::uint32_t> argb;

  bool Read(NativeImage& image, std::uint32_t x0, std::uint32_t y, std::span<std::uint32_t> out);
  void Write(NativeImage& image, std::uint32_t x0, std::uint32_t y,
             std::span<const std::uint32_t> in);
  bool Stage(PixelImage& image, StagedFiles& files, const std::string& path);
};

// Only the means to produce the rows, so that a picture on its way from one
// file to another is never held whole (fresh memory for a big picture costs
// more than converting it). The last row produced is kept for
// pixel-by-pixel reads.
struct RowPixels {
  RowSource rows;
  bool opaque = false;  // rows come with alpha 0xFF already
  std::vector<std::uint32_t> row;
  std::int64_t rowY = -1;
  bool rowOk = false;

  bool Produce(NativeImage& image, std::uint32_t y, std::span<std::uint32_t> argb);
  bool Kept(NativeImage& image, std::uint32_t y);
  bool Read(NativeImage& image, std::uint32_t x0, std::uint32_t y, std::span<std::uint32_t> argb);
  // Every pixel, for the first write; rows that cannot be produced stay zero.
  bool Store(NativeImage& image, BmpFilePixels& stored);
  bool Stage(PixelImage& image, StagedFiles& files, const std::string& path);
};

struct NativeImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Channels channels = Channels::Rgb;
  PictureKind kind = PictureKind::Other;
  bool sourceFailed = false;  // a row inside the image could not be produced
  std::variant<BmpFilePixels, DecodedPixels, RowPixels> pixels;

  int BitsPerPixel() const { return channels == Channels::Argb ? 32 : 24; }
};

namespace {

// A plain BMP file's pixels are read, and rows saved, this many bytes at a time.
constexpr std::size_t kBandBytes = 256 * 1024;

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};

PixelImage* NewImage() {
  auto* image = new (std::nothrow) PixelImage;
  if (image == nullptr) NoteShortage();
  return image;
}

bool Shortage() {
  NoteShortage();
  Explain("not enough memory");
  return false;
}

// The image could not have the memory or the open file it needed.
bool Starve(PixelImage& image) {
  image.starved = true;
  return Shortage();
}

// False when n elements cannot be had, more than the address space included.
template <class T>
bool Resize(std::vector<T>& v, std::uint64_t n) {
  try {
    if (n > v.max_size()) return false;
    v.resize(std::size_t(n));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

NativeImage* NewNative(std::uint32_t width, std::uint32_t height, Channels channels) {
  auto* native = new (std::nothrow) NativeImage;
  if (native == nullptr) return nullptr;
  native->width = width;
  native->height = height;
  native->channels = channels;
  return native;
}

// An image whose pixels are rows; null when the memory for it cannot be had.
NativeImage* NewRowImage(std::uint32_t width, std::uint32_t height, Channels channels,
                         RowSource rows, bool opaque) {
  std::unique_ptr<NativeImage> native(NewNative(width, height, channels));
  if (!native) return nullptr;
  RowPixels& pixels = native->pixels.emplace<RowPixels>();
  pixels.rows = std::move(rows);
  pixels.opaque = opaque;
  return Resize(pixels.row, width) ? native.release() : nullptr;
}

bool ValidBlankParameters(std::int32_t width, std::int32_t height, Channels channels) {
  BmpFileLayout layout;
  return width > 0 && height > 0 &&
         PlanBmpFile(std::uint32_t(width), std::uint32_t(height),
                     channels == Channels::Argb ? 32 : 24, layout);
}

void MakeOpaque(std::span<std::uint32_t> row) {
  for (std::uint32_t& pixel : row) pixel |= 0xFF000000u;
}

}  // namespace

bool BmpFilePixels::Allocate(const NativeImage& image) {
  const int bitsPerPixel = image.BitsPerPixel();
  if (!PlanBmpFile(image.width, image.height, bitsPerPixel, layout)) return false;
  file.reset(static_cast<std::uint8_t*>(std::calloc(layout.fileBytes, 1)));
  if (!file) return false;
  WriteBmpHeaders(image.width, image.height, bitsPerPixel, layout, {file.get(), layout.fileBytes});
  return true;
}

std::uint8_t* BmpFilePixels::At(const NativeImage& image, std::uint32_t x, std::uint32_t y) const {
  return file.get() + layout.pixelOffset + (image.height - 1 - y) * layout.stride +
         x * std::size_t(image.BitsPerPixel() / 8);
}

bool BmpFilePixels::Read(NativeImage& image, std::uint32_t x0, std::uint32_t y,
                         std::span<std::uint32_t> argb) {
  UnpackBmpRow(At(image, x0, y), image.BitsPerPixel(), argb);
  return true;
}

void BmpFilePixels::Write(NativeImage& image, std::uint32_t x0, std::uint32_t y,
                          std::span<const std::uint32_t> argb) {
  PackBmpRow(argb, image.BitsPerPixel(), At(image, x0, y));
}

bool BmpFilePixels::Stage(PixelImage&, StagedFiles& files, const std::string& path) {
  const std::span<const std::uint8_t> bytes(file.get(), layout.fileBytes);
  return files.Add(path, [bytes](const WriteChunk& write) { return write(bytes); });
}

bool DecodedPixels::Read(NativeImage& image, std::uint32_t x0, std::uint32_t y,
                         std::span<std::uint32_t> out) {
  const std::uint32_t* row = argb.data() + std::size_t(y) * image.width + x0;
  const std::uint32_t alpha = image.channels == Channels::Rgb ? 0xFF000000u : 0;
  for (std::size_t x = 0; x < out.size(); ++x) out[x] = row[x] | alpha;
  return true;
}

void DecodedPixels::Write(NativeImage& image, std::uint32_t x0, std::uint32_t y,
                          std::span<const std::uint32_t> in) {
  std::ranges::copy(in, argb.begin() + std::ptrdiff_t(std::size_t(y) * image.width + x0));
}

bool DecodedPixels::Stage(PixelImage& image, StagedFiles& files, const std::string& path) {
  const NativeImage& native = *image.native;
  std::vector<std::uint8_t> encoded;
  // The sizes are the decoder's own: only memory can refuse them.
  if (!EncodeBmp(native.width, native.height, native.BitsPerPixel(), argb, encoded)) {
    return Starve(image);
  }
  return files.Add(path, [&encoded](const WriteChunk& write) { return write(encoded); });
}

bool RowPixels::Produce(NativeImage& image, std::uint32_t y, std::span<std::uint32_t> argb) {
  if (!rows(y, argb)) {
    image.sourceFailed = true;
    return false;
  }
  if (image.channels == Channels::Rgb && !opaque) MakeOpaque(argb);
  return true;
}

bool RowPixels::Kept(NativeImage& image, std::uint32_t y) {
  if (rowY != std::int64_t{y}) {
    rowY = y;
    rowOk = Produce(image, y, row);
  }
  return rowOk;
}

bool RowPixels::Read(NativeImage& image, std::uint32_t x0, std::uint32_t y,
                     std::span<std::uint32_t> argb) {
  // A whole row goes straight to the caller, not through the kept row.
  if (x0 == 0 && argb.size() == image.width && rowY != std::int64_t{y}) {
    return Produce(image, y, argb);
  }
  if (!Kept(image, y)) return false;
  std::copy_n(row.begin() + x0, argb.size(), argb.begin());
  return true;
}

bool RowPixels::Store(NativeImage& image, BmpFilePixels& stored) {
  if (!stored.Allocate(image)) return false;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    if (Kept(image, y)) stored.Write(image, 0, y, row);
  }
  return true;
}

// Saved as the rows are produced, a piece at a time.
bool RowPixels::Stage(PixelImage& image, StagedFiles& files, const std::string& path) {
  NativeImage& native = *image.native;
  const int bitsPerPixel = native.BitsPerPixel();
  BmpFileLayout layout;
  if (!PlanBmpFile(native.width, native.height, bitsPerPixel, layout)) return false;
  std::vector<std::uint8_t> piece;
  // No bigger than the file: a small picture fills no more than it needs.
  if (!Resize(piece, std::max(std::min(kBandBytes, layout.fileBytes),
                              layout.pixelOffset + layout.stride))) {
    return Shortage();
  }
  const std::size_t rowBytes = std::size_t(native.width) * std::size_t(bitsPerPixel / 8);
  return files.Add(path, [&](const WriteChunk& write) {
    WriteBmpHeaders(native.width, native.height, bitsPerPixel, layout, piece);
    // Rows are produced as they are, not kept for reads: a 24-bit file keeps
    // no alpha to make opaque.
    rowY = -1;
    std::size_t filled = layout.pixelOffset;
    for (std::uint32_t y = native.height; y-- > 0;) {  // bottom-up
      if (filled + layout.stride > piece.size()) {
        if (!write(std::span(piece).first(filled))) return false;
        filled = 0;
      }
      if (!rows(y, row)) {
        native.sourceFailed = true;
        return false;
      }
      std::uint8_t* out = piece.data() + filled;
      PackBmpRow(row, bitsPerPixel, out);
      std::fill(out + rowBytes, out + layout.stride, std::uint8_t{0});
      filled += layout.stride;
    }
    return write(std::span(piece).first(filled));
  });
}

namespace {

// The file's first bytes, enough for FindPlainBmp and the size a decoder
// would have to hold.
constexpr std::size_t kHeaderBytes = 54;

// The BMP files this tool writes, and most others, are read row by row as
// their pixels are asked for, at any size, with no decoding and no copy of
// the whole picture. True when the file is such a BMP, with its image or
// starved.
bool OpenPlainBmp(std::span<const std::uint8_t> header, const std::shared_ptr<ReadOnlyFile>& file,
                  PixelImage& image) {
  PlainBmp plain;
  if (!FindPlainBmp(header, file->Size(), plain)) return false;
  auto bands = std::make_shared<BandedFile>(file, plain.pixelOffset, RowLength::Bytes(plain.stride),
                                            plain.height, kBandBytes);
  RowSource rows = [bands, plain](std::uint32_t y, std::span<std::uint32_t> argb) {
    std::span<const std::uint8_t> bytes;
    if (!bands->Row(plain.topDown ? y : plain.height - 1 - y, bytes)) return false;
    UnpackBmpRow(bytes.data(), plain.bitsPerPixel, argb);
    return true;
  };
  image.native = NewRowImage(plain.width, plain.height, Channels::Rgb, std::move(rows),
                             plain.bitsPerPixel == 24);
  if (image.native == nullptr) {
    Starve(image);
  } else {
    image.native->kind = PictureKind::Bmp;
  }
  return true;
}

// What the file holds that no decoder read, after its name.
std::string UndecodedReason(std::span<const std::uint8_t> bytes, std::string_view bmpWhy,
                            std::string_view gifWhy) {
  const auto startsWith = [&](std::string_view magic) {
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
  };
  if (startsWith("BM")) return " is a BMP file that cannot be read: " + std::string(bmpWhy);
  if (startsWith("GIF8")) return " is a GIF file that cannot be read: " + std::string(gifWhy);
  return " is neither a BMP nor a GIF file";
}

// A picture the decoders would refuse for its size alone is refused from its
// headers, before the rest of the file is read.
bool RefusedForSize(const std::string& path, std::span<const std::uint8_t> header) {
  std::string_view why;
  if (!BmpTooBigToDecode(header, why) && !GifTooBigToDecode(header, why)) return false;
  Explain(path + UndecodedReason(header, why, why));
  return true;
}

// Sets image.native to the decoded picture, or says why there is none.
void Decode(PixelImage& image, const std::string& path, std::span<const std::uint8_t> bytes) {
  DecodedBitmap decoded;
  PictureKind kind = PictureKind::Bmp;
  // A BMP the memory could not be had for is not tried as a GIF.
  const bool isBmp = DecodeBmp(bytes, decoded);
  const std::string_view bmpWhy = decoded.why;
  if (!isBmp) {
    kind = PictureKind::Gif;
    if (decoded.outOfMemory || !DecodeGif(bytes, decoded)) {
      if (decoded.outOfMemory) {
        Starve(image);
      } else {
        Explain(path + UndecodedReason(bytes, bmpWhy, decoded.why));
      }
      return;
    }
    decoded.hasAlpha = true;
  }
  NativeImage* native =
      NewNative(decoded.width, decoded.height, decoded.hasAlpha ? Channels::Argb : Channels::Rgb);
  if (native == nullptr) {
    Starve(image);
    return;
  }
  native->kind = kind;
  native->pixels.emplace<DecodedPixels>().argb = std::move(decoded.argb);
  image.native = native;
}

}  // namespace

ImagingSession::ImagingSession() = default;
ImagingSession::~ImagingSession() = default;

PixelImagePtr CreateBlankImage(std::int32_t width, std::int32_t height, Channels channels) {
  PixelImagePtr image(NewImage());
  if (!image || !ValidBlankParameters(width, height, channels)) return image;
  std::unique_ptr<NativeImage> native(
      NewNative(std::uint32_t(width), std::uint32_t(height), channels));
  if (!native || !std::get<BmpFilePixels>(native->pixels).Allocate(*native)) {
    Starve(*image);
    return image;
  }
  image->native = native.release();
  return image;
}

PixelImagePtr CreateImageFromRows(std::int32_t width, std::int32_t height, Channels channels,
                                  RowSource rows) {
  PixelImagePtr image(NewImage());
  // Refused if a blank image of the size would be, so that a later write or
  // save can always plan its file.
  if (!image || !ValidBlankParameters(width, height, channels) || !rows) return image;
  image->native =
      NewRowImage(std::uint32_t(width), std::uint32_t(height), channels, std::move(rows), false);
  if (image->native == nullptr) Starve(*image);
  return image;
}

PixelImagePtr LoadImageFromFile(const std::string& path) {
  PixelImagePtr image(NewImage());
  if (!image) return image;
  auto file = std::make_shared<ReadOnlyFile>();
  // The file says why it cannot be opened.
  if (!file->Open(path)) {
    if (file->LackedHandles()) image->starved = true;
    return image;
  }
  std::vector<std::uint8_t> bytes;
  bool read = false;
  try {
    bytes.resize(std::size_t(std::min<std::uint64_t>(file->Size(), kHeaderBytes)));
    read = file->ReadAt(0, bytes);
    if (read) {
      if (OpenPlainBmp(bytes, file, *image)) return image;
      if (RefusedForSize(path, bytes)) return image;
      if (file->Size() > bytes.max_size()) throw std::bad_alloc();
      bytes.resize(std::size_t(file->Size()));
      read = file->ReadAt(0, bytes);
    }
  } catch (const std::bad_alloc&) {
    Starve(*image);
    return image;
  }
  if (!read) {
    Explain(path + " could not be read: " + LastSystemError());
    return image;
  }
  file.reset();  // closed before decoding
  Decode(*image, path, bytes);
  return image;
}

std::uint32_t PixelImage::Width() {
  return native != nullptr ? native->width : 0;
}

std::uint32_t PixelImage::Height() {
  return native != nullptr ? native->height : 0;
}

PictureKind PixelImage::Kind() {
  return native != nullptr ? native->kind : PictureKind::None;
}

namespace {

// How many of the row's first count pixels exist.
std::size_t PixelsInRow(const PixelImage& image, std::int32_t y, std::size_t count) {
  const NativeImage* native = image.native;
  if (native == nullptr || y < 0 || std::uint32_t(y) >= native->height) return 0;
  return std::min<std::size_t>(count, native->width);
}

// Pixels x0 .. x0 + argb.size() - 1 of row y, which the caller has checked
// lie in the image; false when the row cannot be produced.
bool ReadPixels(NativeImage& image, std::uint32_t x0, std::uint32_t y,
                std::span<std::uint32_t> argb) {
  return std::visit([&](auto& pixels) { return pixels.Read(image, x0, y, argb); }, image.pixels);
}

// False, with the image starved, when an image made from rows cannot have
// the memory to store its pixels.
bool WritePixels(PixelImage& image, std::uint32_t x0, std::uint32_t y,
                 std::span<const std::uint32_t> argb) {
  NativeImage& native = *image.native;
  if (auto* rows = std::get_if<RowPixels>(&native.pixels)) {
    BmpFilePixels stored;
    if (!rows->Store(native, stored)) return Starve(image);
    native.pixels = std::move(stored);
  }
  std::visit(
      Overloaded{[](RowPixels&) {}, [&](auto& pixels) { pixels.Write(native, x0, y, argb); }},
      native.pixels);
  return true;
}

}  // namespace

bool PixelImage::GetPixel(std::int32_t x, std::int32_t y, std::uint32_t& argb) {
  if (x < 0 || PixelsInRow(*this, y, std::size_t(x) + 1) <= std::size_t(x)) return false;
  return ReadPixels(*native, std::uint32_t(x), std::uint32_t(y), {&argb, 1});
}

bool PixelImage::SetPixel(std::int32_t x, std::int32_t y, std::uint32_t argb) {
  if (x < 0 || PixelsInRow(*this, y, std::size_t(x) + 1) <= std::size_t(x)) return false;
  return WritePixels(*this, std::uint32_t(x), std::uint32_t(y), {&argb, 1});
}

std::size_t PixelImage::GetRow(std::int32_t y, std::span<std::uint32_t> argb) {
  const std::size_t n = PixelsInRow(*this, y, argb.size());
  if (n == 0 || !ReadPixels(*native, 0, std::uint32_t(y), argb.first(n))) return 0;
  return n;
}

void PixelImage::SetRow(std::int32_t y, std::span<const std::uint32_t> argb) {
  const std::size_t n = PixelsInRow(*this, y, argb.size());
  if (n > 0) WritePixels(*this, 0, std::uint32_t(y), argb.first(n));
}

bool PixelImage::StageBmp(StagedFiles& files, const std::string& path) {
  if (native == nullptr) return false;
  return std::visit([&](auto& pixels) { return pixels.Stage(*this, files, path); }, native->pixels);
}

bool PixelImage::SourceFailed() {
  return starved || (native != nullptr && native->sourceFailed);
}

// Images made from rows, and plain BMP files, hold no pixels to free; the
// rest are the only copy of theirs.
void PixelImage::Unload() {}

bool ImagesHeldWhole() {
  return false;
}

void ReleasePixelImage(PixelImage* image) {
  if (image == nullptr) return;
  delete image->native;
  delete image;
}

}  // namespace tessarel
