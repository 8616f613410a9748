// The image layer where there is no GDI+: an in-memory bitmap, rows read from
// files as they are needed, our BMP codec and giflib, behind the same object
// and the same failure contract.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "codec/bmp_codec.h"
#include "codec/decoded_bitmap.h"
#include "codec/gif_decoder.h"
#include "image/pixel_image.h"
#include "platform/banded_file.h"
#include "platform/failure_reason.h"
#include "platform/read_only_file.h"
#include "platform/shortage.h"
#include "platform/staged_files.h"

namespace tessarel {

struct FreeDeleter {
  void operator()(std::uint8_t* p) const noexcept { std::free(p); }
};

struct NativeImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  PixelFormat format = PixelFormat24bppRGB;
  Guid rawFormat;  // all zero for a blank bitmap, which is neither BMP nor GIF
  // Pixels are held in one of three ways. A blank or written image lives as
  // the BMP file it will be saved as, so that saving is one write with no
  // conversion and no second copy of the picture; it comes from calloc, where
  // large blocks arrive as zero pages with no pass over the memory to clear it.
  std::unique_ptr<std::uint8_t, FreeDeleter> bmpFile;
  BmpFileLayout layout;
  // A decoded image keeps the decoder's ARGB words, row-major.
  std::vector<std::uint32_t> argb;
  // An image made from rows keeps only the means to produce them, so that a
  // picture on its way from one file to another is never held whole (fresh
  // memory for a big picture costs more than converting it). The last row
  // produced is kept for pixel-by-pixel reads.
  RowSource rows;
  bool rowsOpaque = false;  // rows known to come with alpha 0xFF already
  std::vector<std::uint32_t> row;
  std::int64_t rowY = -1;
  bool rowOk = false;
  bool rowsFailed = false;  // a row inside the image could not be produced

  int BitsPerPixel() const { return format == PixelFormat32bppARGB ? 32 : 24; }
  std::uint8_t* BmpPixel(std::uint32_t x, std::uint32_t y) const {
    return bmpFile.get() + layout.pixelOffset + (height - 1 - y) * layout.stride +
           x * std::size_t(BitsPerPixel() / 8);
  }
};

namespace {

// The one encoder this layer offers.
constexpr Guid kBmpEncoderClsid{0x424d5000};

// This layer's failure codes.
constexpr ImageStatus kInvalidParameter{1};
constexpr ImageStatus kOutOfMemory{2};
constexpr ImageStatus kIoFailed{3};
constexpr ImageStatus kUnknownFormat{4};

// A plain BMP file's pixels are read a band of rows at a time.
constexpr std::size_t kBandBytes = 256 * 1024;

PixelImage* NewImage() {
  auto* image = new (std::nothrow) PixelImage;
  if (image == nullptr) NoteShortage();
  return image;
}

bool Fail(PixelImage& image, ImageStatus status) {
  image.lastStatus = status;
  return false;
}

// The image could not have the memory or the open file it needed.
bool Starve(PixelImage& image) {
  image.starved = true;
  NoteShortage();
  Explain("not enough memory");
  return Fail(image, kOutOfMemory);
}

bool InBounds(const NativeImage& native, std::int32_t x, std::int32_t y) {
  return x >= 0 && y >= 0 && static_cast<std::uint32_t>(x) < native.width &&
         static_cast<std::uint32_t>(y) < native.height;
}

// The BMP files this tool writes, and most others, are 24-bit, uncompressed,
// bottom-up with a 40-byte header. Such a file is read row by row as its
// pixels are asked for, with no decoding and no copy of the whole picture;
// anything else (or anything short) goes through the decoder. False when
// the file is such a BMP but its image cannot be had.
bool OpenPlainBmp(std::span<const std::uint8_t> header, const std::shared_ptr<ReadOnlyFile>& file,
                  PixelImage& image) {
  PlainBmp plain;
  if (!FindPlainBmp(header, file->Size(), plain)) return true;
  const std::uint32_t height = plain.height;
  auto native = std::unique_ptr<NativeImage>(new (std::nothrow) NativeImage);
  try {
    if (native) native->row.resize(plain.width);
  } catch (const std::bad_alloc&) {
    native.reset();
  }
  if (!native) return Starve(image);
  native->width = plain.width;
  native->height = height;
  native->format = PixelFormat24bppRGB;
  native->rawFormat = ImageFormatBMP;
  auto bands = std::make_shared<BandedFile>(file, plain.pixelOffset,
                                            8 * std::uint64_t{plain.stride}, height, kBandBytes);
  native->rows = [bands, height](std::uint32_t y, std::span<std::uint32_t> argb) {
    std::span<const std::uint8_t> bytes;
    std::size_t bit = 0;
    // Bottom-up: the file's first row is the picture's last.
    if (!bands->Row(height - 1 - y, bytes, bit)) return false;
    UnpackBmpRow(bytes.data(), 24, argb);
    return true;
  };
  native->rowsOpaque = true;
  image.native = native.release();
  return true;
}

// BMP-file storage for a w x h image, all zero bits: opaque black in 24bpp,
// transparent in 32bpp. False when its size has no BMP file or the memory
// cannot be had.
bool AllocateBmpFile(NativeImage& native) {
  const int bitsPerPixel = native.BitsPerPixel();
  if (!PlanBmpFile(native.width, native.height, bitsPerPixel, native.layout)) return false;
  native.bmpFile.reset(static_cast<std::uint8_t*>(std::calloc(native.layout.fileBytes, 1)));
  if (!native.bmpFile) return false;
  WriteBmpHeaders(native.width, native.height, bitsPerPixel, native.layout,
                  {native.bmpFile.get(), native.layout.fileBytes});
  return true;
}

// Sizes whose image has a BMP file to be saved as, in a format the layer has.
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

bool ValidBlankParameters(std::int32_t width, std::int32_t height, PixelFormat format) {
  BmpFileLayout layout;
  return width > 0 && height > 0 &&
         (format == PixelFormat24bppRGB || format == PixelFormat32bppARGB) &&
         PlanBmpFile(std::uint32_t(width), std::uint32_t(height),
                     format == PixelFormat32bppARGB ? 32 : 24, layout);
}

}  // namespace

ImagingSession::ImagingSession() = default;
ImagingSession::~ImagingSession() = default;

bool ListImageEncoders(std::vector<ImageEncoderInfo>& encoders) {
  encoders.assign({ImageEncoderInfo{kBmpEncoderClsid, "image/bmp"}});
  return true;
}

PixelImagePtr CreateBlankImage(std::int32_t width, std::int32_t height, PixelFormat format) {
  PixelImagePtr image(NewImage());
  if (!image) return image;
  if (!ValidBlankParameters(width, height, format)) {
    image->lastStatus = kInvalidParameter;
    return image;
  }
  auto native = std::unique_ptr<NativeImage>(new (std::nothrow) NativeImage);
  if (native) {
    native->width = static_cast<std::uint32_t>(width);
    native->height = static_cast<std::uint32_t>(height);
    native->format = format;
  }
  if (!native || !AllocateBmpFile(*native)) {
    Starve(*image);
    return image;
  }
  image->native = native.release();
  return image;
}

PixelImagePtr CreateImageFromRows(std::int32_t width, std::int32_t height, PixelFormat format,
                                  RowSource rows) {
  PixelImagePtr image(NewImage());
  if (!image) return image;
  if (!ValidBlankParameters(width, height, format) || !rows) {
    image->lastStatus = kInvalidParameter;
    return image;
  }
  // Refused above if a blank image of the size would be, so that a later
  // write or save can always plan its file.
  auto native = std::unique_ptr<NativeImage>(new (std::nothrow) NativeImage);
  try {
    if (native) native->row.resize(std::size_t(width));
  } catch (const std::bad_alloc&) {
    native.reset();
  }
  if (!native) {
    Starve(*image);
    return image;
  }
  native->width = static_cast<std::uint32_t>(width);
  native->height = static_cast<std::uint32_t>(height);
  native->format = format;
  native->rows = std::move(rows);
  image->native = native.release();
  return image;
}

PixelImagePtr LoadImageFromFile(const std::string& path) {
  PixelImagePtr image(NewImage());
  if (!image) return image;
  auto file = std::make_shared<ReadOnlyFile>();
  std::vector<std::uint8_t> bytes;
  // The file says why it cannot be opened.
  if (!file->Open(path)) {
    if (file->LackedHandles()) image->starved = true;
    image->lastStatus = kIoFailed;
    return image;
  }
  bool read = false;
  try {
    bytes.resize(std::size_t(std::min<std::uint64_t>(file->Size(), 54)));
    read = file->ReadAt(0, bytes);
    if (read) {
      if (!OpenPlainBmp(bytes, file, *image) || image->native != nullptr) return image;
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
    image->lastStatus = kIoFailed;
    return image;
  }
  file.reset();  // closed before decoding
  DecodedBitmap decoded;
  Guid format;
  // A BMP the memory could not be had for is not tried as a GIF.
  const bool isBmp = DecodeBmp(bytes, decoded);
  const std::string_view bmpWhy = decoded.why;
  if (isBmp) {
    format = ImageFormatBMP;
  } else if (!decoded.outOfMemory && DecodeGif(bytes, decoded)) {
    format = ImageFormatGIF;
    decoded.hasAlpha = true;
  } else {
    if (decoded.outOfMemory) {
      Starve(*image);
    } else {
      Explain(path + UndecodedReason(bytes, bmpWhy, decoded.why));
      image->lastStatus = kUnknownFormat;
    }
    return image;
  }
  NativeImage* native = new (std::nothrow) NativeImage;
  if (native == nullptr) {
    Starve(*image);
    return image;
  }
  native->width = decoded.width;
  native->height = decoded.height;
  native->format = decoded.hasAlpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
  native->rawFormat = format;
  native->argb = std::move(decoded.argb);
  image->native = native;
  return image;
}

std::uint32_t PixelImage::Width() {
  if (native == nullptr) {
    Fail(*this, kInvalidParameter);
    return 0;
  }
  return native->width;
}

std::uint32_t PixelImage::Height() {
  if (native == nullptr) {
    Fail(*this, kInvalidParameter);
    return 0;
  }
  return native->height;
}

bool PixelImage::RawFormat(Guid& format) {
  if (native == nullptr) return Fail(*this, kInvalidParameter);
  format = native->rawFormat;
  return true;
}

namespace {

// A 24bpp image reads back opaque whatever alpha its rows gave.
void MakeOpaque(const NativeImage& image, std::span<std::uint32_t> row) {
  if (image.format != PixelFormat24bppRGB || image.rowsOpaque) return;
  for (std::uint32_t& pixel : row) pixel |= 0xFF000000u;
}

// Row y as produced by the image's rows, kept for the reads that follow.
bool ProduceRow(NativeImage& image, std::uint32_t y) {
  if (image.rowY != std::int64_t{y}) {
    image.rowY = y;
    image.rowOk = image.rows(y, image.row);
    if (image.rowOk) MakeOpaque(image, image.row);
    image.rowsFailed = image.rowsFailed || !image.rowOk;
  }
  return image.rowOk;
}

// Pixels x0 .. x0 + count - 1 of row y, which the caller has checked lie in
// the image: the one place that knows how each kind of storage holds a pixel.
// False only when an image made from rows cannot produce the row.
bool ReadPixels(NativeImage& image, std::uint32_t x0, std::uint32_t y, std::size_t count,
                std::uint32_t* argb) {
  if (image.rows) {
    if (!ProduceRow(image, y)) return false;
    std::copy_n(image.row.begin() + x0, count, argb);
  } else if (image.bmpFile) {
    UnpackBmpRow(image.BmpPixel(x0, y), image.BitsPerPixel(), {argb, count});
  } else {
    const std::uint32_t* row = image.argb.data() + std::size_t(y) * image.width + x0;
    const std::uint32_t alpha = image.format == PixelFormat24bppRGB ? 0xFF000000u : 0;
    for (std::size_t x = 0; x < count; ++x) argb[x] = row[x] | alpha;
  }
  return true;
}

// Writing to an image made from rows first stores all of its pixels; rows it
// cannot produce stay zero. False when the memory cannot be had.
bool StorePixels(NativeImage& image) {
  if (!image.rows) return true;
  if (!AllocateBmpFile(image)) return false;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    if (ProduceRow(image, y)) PackBmpRow(image.row, image.BitsPerPixel(), image.BmpPixel(0, y));
  }
  image.rows = nullptr;
  image.row = {};
  image.rowY = -1;
  return true;
}

void WritePixels(NativeImage& image, std::uint32_t x0, std::uint32_t y, std::size_t count,
                 const std::uint32_t* argb) {
  if (image.bmpFile) {
    PackBmpRow({argb, count}, image.BitsPerPixel(), image.BmpPixel(x0, y));
  } else {
    std::copy_n(argb, count,
                image.argb.begin() + std::ptrdiff_t(std::size_t(y) * image.width + x0));
  }
}

// How many of the row's first count pixels exist; records a failure for the rest.
std::size_t RowPixels(PixelImage& image, std::int32_t y, std::size_t count) {
  NativeImage* native = image.native;
  std::size_t inside = 0;
  if (native != nullptr && y >= 0 && std::uint32_t(y) < native->height) {
    inside = std::min<std::size_t>(count, native->width);
  }
  if (inside < count) image.lastStatus = kInvalidParameter;
  return inside;
}

// Saves an image made from rows as it is produced, a piece at a time.
bool SaveRows(NativeImage& image, StagedFiles& files, const std::string& path) {
  const int bitsPerPixel = image.BitsPerPixel();
  BmpFileLayout layout;
  if (!PlanBmpFile(image.width, image.height, bitsPerPixel, layout)) return false;
  std::vector<std::uint8_t> piece;
  try {
    // No bigger than the file: a small picture fills no more than it needs.
    piece.resize(
        std::max(std::min(kBandBytes, layout.fileBytes), layout.pixelOffset + layout.stride));
  } catch (const std::bad_alloc&) {
    NoteShortage();
    return false;
  }
  const std::size_t rowBytes = std::size_t(image.width) * std::size_t(bitsPerPixel / 8);
  return files.Add(path, [&](const WriteChunk& write) {
    WriteBmpHeaders(image.width, image.height, bitsPerPixel, layout, piece);
    // Rows are produced as they are, not kept for reads: a 24-bit file keeps
    // no alpha to make opaque.
    image.rowY = -1;
    std::size_t filled = layout.pixelOffset;
    for (std::uint32_t y = image.height; y-- > 0;) {  // bottom-up
      if (filled + layout.stride > piece.size()) {
        if (!write(std::span(piece).first(filled))) return false;
        filled = 0;
      }
      if (!image.rows(y, image.row)) {
        image.rowsFailed = true;
        return false;
      }
      std::uint8_t* out = piece.data() + filled;
      PackBmpRow(image.row, bitsPerPixel, out);
      std::fill(out + rowBytes, out + layout.stride, std::uint8_t{0});
      filled += layout.stride;
    }
    return write(std::span(piece).first(filled));
  });
}

}  // namespace

bool PixelImage::GetPixel(std::int32_t x, std::int32_t y, std::uint32_t& argb) {
  if (native == nullptr || !InBounds(*native, x, y)) {
    return Fail(*this, kInvalidParameter);
  }
  if (!ReadPixels(*native, std::uint32_t(x), std::uint32_t(y), 1, &argb)) {
    return Fail(*this, kIoFailed);
  }
  return true;
}

bool PixelImage::SetPixel(std::int32_t x, std::int32_t y, std::uint32_t argb) {
  if (native == nullptr || !InBounds(*native, x, y)) {
    return Fail(*this, kInvalidParameter);
  }
  if (!StorePixels(*native)) return Starve(*this);
  WritePixels(*native, std::uint32_t(x), std::uint32_t(y), 1, &argb);
  return true;
}

std::size_t PixelImage::GetRow(std::int32_t y, std::span<std::uint32_t> argb) {
  const std::size_t n = RowPixels(*this, y, argb.size());
  if (n > 0 && native->rows && n == native->width && native->rowY != y) {
    // A whole row goes straight to the caller, not through the kept row.
    if (!native->rows(std::uint32_t(y), argb.first(n))) {
      native->rowsFailed = true;
      Fail(*this, kIoFailed);
      return 0;
    }
    MakeOpaque(*native, argb.first(n));
    return n;
  }
  if (n > 0 && !ReadPixels(*native, 0, std::uint32_t(y), n, argb.data())) {
    Fail(*this, kIoFailed);
    return 0;
  }
  return n;
}

void PixelImage::SetRow(std::int32_t y, std::span<const std::uint32_t> argb) {
  const std::size_t n = RowPixels(*this, y, argb.size());
  if (n == 0) return;
  if (!StorePixels(*native)) {
    Starve(*this);
    return;
  }
  WritePixels(*native, 0, std::uint32_t(y), n, argb.data());
}

bool PixelImage::Stage(StagedFiles& files, const std::string& path, const Guid& encoder) {
  if (native == nullptr) return Fail(*this, kInvalidParameter);
  if (!(encoder == kBmpEncoderClsid)) return Fail(*this, kUnknownFormat);
  if (native->rows) {
    return SaveRows(*native, files, path) || Fail(*this, kIoFailed);
  }
  std::vector<std::uint8_t> encoded;
  if (!native->bmpFile) {
    // The sizes are the decoder's own: only memory can refuse them.
    if (!EncodeBmp(native->width, native->height, native->BitsPerPixel(), native->argb, encoded)) {
      return Starve(*this);
    }
  }
  const std::span<const std::uint8_t> file =
      native->bmpFile
          ? std::span<const std::uint8_t>(native->bmpFile.get(), native->layout.fileBytes)
          : std::span<const std::uint8_t>(encoded);
  if (!files.Add(path, [file](const WriteChunk& write) { return write(file); })) {
    return Fail(*this, kIoFailed);
  }
  return true;
}

bool PixelImage::SourceFailed() {
  return starved || (native != nullptr && native->rowsFailed);
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
