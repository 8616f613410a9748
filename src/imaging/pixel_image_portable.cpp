// The image layer where there is no GDI+: an in-memory bitmap, our BMP codec
// and giflib behind the same object and the same failure contract.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

#include "imaging/bmp_codec.h"
#include "imaging/decoded_bitmap.h"
#include "imaging/file_io.h"
#include "imaging/gif_decoder.h"
#include "imaging/pixel_image.h"

namespace tessarel {

struct FreeDeleter {
  void operator()(std::uint8_t* p) const noexcept { std::free(p); }
};

struct NativeImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  PixelFormat format = PixelFormat24bppRGB;
  bool hasRawFormat = false;
  Guid rawFormat;
  // A blank image lives as the BMP file it will be saved as, so that saving
  // is one write with no conversion and no second copy of the picture. It
  // comes from calloc: large blocks arrive as zero pages, with no pass over
  // the memory to clear it.
  std::unique_ptr<std::uint8_t, FreeDeleter> blankFile;
  // A plain 24-bit BMP file is already in that form: its bytes are kept as read.
  std::vector<std::uint8_t> loadedFile;
  std::uint8_t* bmpFile = nullptr;  // whichever of the two holds the pixels
  BmpFileLayout layout;
  // A decoded image keeps the decoder's ARGB words, row-major.
  std::vector<std::uint32_t> argb;

  std::uint8_t* BmpPixel(std::uint32_t x, std::uint32_t y) const {
    const std::size_t bytesPerPixel = format == PixelFormat32bppARGB ? 4 : 3;
    return bmpFile + layout.pixelOffset + (height - 1 - y) * layout.stride + x * bytesPerPixel;
  }
};

namespace {

// The CLSID GDI+ gives its BMP encoder, so encoder lists look alike everywhere.
constexpr Guid kBmpEncoderClsid{
    0x557cf400, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

PixelImage* NewImage(ImageStatus status) {
  PixelImage* image = new (std::nothrow) PixelImage;
  if (image != nullptr) image->lastStatus = status;
  return image;
}

bool Fail(PixelImage& image, ImageStatus status) {
  image.lastStatus = status;
  return false;
}

bool InBounds(const NativeImage& native, std::int32_t x, std::int32_t y) {
  return x >= 0 && y >= 0 && static_cast<std::uint32_t>(x) < native.width &&
         static_cast<std::uint32_t>(y) < native.height;
}

std::uint32_t LittleU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
         std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

// The BMP files this tool writes, and most others, are 24-bit, uncompressed,
// bottom-up with a 40-byte header: exactly the in-memory form of a blank
// image. Such a file keeps its bytes, with no decoding and no second copy of
// the picture; anything else (or anything short) goes through the decoder.
NativeImage* AdoptPlainBmp(std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 54 || !LooksLikeBmp(bytes)) return nullptr;
  const std::uint32_t offset = LittleU32(bytes, 10);
  const std::uint32_t headerSize = LittleU32(bytes, 14);
  const auto width = static_cast<std::int32_t>(LittleU32(bytes, 18));
  const auto height = static_cast<std::int32_t>(LittleU32(bytes, 22));
  const std::uint32_t planesAndBits = LittleU32(bytes, 26);
  const std::uint32_t compression = LittleU32(bytes, 30);
  if (headerSize != 40 || planesAndBits != (1u | 24u << 16) || compression != 0) return nullptr;
  if (width <= 0 || height <= 0 || offset < 54) return nullptr;
  BmpFileLayout layout;
  if (!PlanBmpFile(std::uint32_t(width), std::uint32_t(height), 24, layout)) return nullptr;
  const std::uint64_t end =
      std::uint64_t(offset) + std::uint64_t(layout.stride) * std::uint32_t(height);
  if (end > bytes.size()) return nullptr;
  NativeImage* native = new (std::nothrow) NativeImage;
  if (native == nullptr) return nullptr;
  native->width = std::uint32_t(width);
  native->height = std::uint32_t(height);
  native->format = PixelFormat24bppRGB;
  native->hasRawFormat = true;
  native->rawFormat = ImageFormatBMP;
  native->layout = layout;
  native->layout.pixelOffset = offset;
  native->layout.fileBytes = static_cast<std::size_t>(end);
  native->loadedFile = std::move(bytes);
  native->bmpFile = native->loadedFile.data();
  return native;
}

}  // namespace

ImagingSession::ImagingSession() = default;
ImagingSession::~ImagingSession() = default;

bool ListImageEncoders(std::vector<ImageEncoderInfo>& encoders) {
  encoders.assign({ImageEncoderInfo{kBmpEncoderClsid, "image/bmp"}});
  return true;
}

PixelImagePtr CreateBlankImage(std::int32_t width, std::int32_t height, PixelFormat format) {
  PixelImagePtr image(NewImage(ImageStatus::Ok));
  if (!image) return image;
  if (width <= 0 || height <= 0 ||
      (format != PixelFormat24bppRGB && format != PixelFormat32bppARGB)) {
    image->lastStatus = ImageStatus::InvalidParameter;
    return image;
  }
  // A new bitmap is all zero bits: opaque black in 24bpp, transparent in 32bpp.
  auto native = std::unique_ptr<NativeImage>(new (std::nothrow) NativeImage);
  const int bitsPerPixel = format == PixelFormat32bppARGB ? 32 : 24;
  if (native &&
      PlanBmpFile(std::uint32_t(width), std::uint32_t(height), bitsPerPixel, native->layout)) {
    native->blankFile.reset(static_cast<std::uint8_t*>(std::calloc(native->layout.fileBytes, 1)));
    native->bmpFile = native->blankFile.get();
  }
  if (!native || !native->bmpFile) {
    image->lastStatus = ImageStatus::OutOfMemory;
    return image;
  }
  WriteBmpHeaders(std::uint32_t(width), std::uint32_t(height), bitsPerPixel, native->layout,
                  {native->bmpFile, native->layout.fileBytes});
  native->width = static_cast<std::uint32_t>(width);
  native->height = static_cast<std::uint32_t>(height);
  native->format = format;
  image->native = native.release();
  return image;
}

PixelImagePtr LoadImageFromFile(const std::string& path) {
  PixelImagePtr image(NewImage(ImageStatus::Ok));
  if (!image) return image;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) {
    image->lastStatus = ImageStatus::FileNotFound;
    return image;
  }
  if (NativeImage* plain = AdoptPlainBmp(bytes)) {
    image->native = plain;
    return image;
  }
  DecodedBitmap decoded;
  Guid format;
  if (LooksLikeBmp(bytes) && DecodeBmp(bytes, decoded)) {
    format = ImageFormatBMP;
  } else if (LooksLikeGif(bytes) && DecodeGif(bytes, decoded)) {
    format = ImageFormatGIF;
    decoded.hasAlpha = true;
  } else {
    image->lastStatus = ImageStatus::UnknownImageFormat;
    return image;
  }
  NativeImage* native = new (std::nothrow) NativeImage;
  if (native == nullptr) {
    image->lastStatus = ImageStatus::OutOfMemory;
    return image;
  }
  native->width = decoded.width;
  native->height = decoded.height;
  native->format = decoded.hasAlpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
  native->hasRawFormat = true;
  native->rawFormat = format;
  native->argb = std::move(decoded.argb);
  image->native = native;
  return image;
}

std::uint32_t PixelImage::Width() {
  if (native == nullptr) {
    Fail(*this, ImageStatus::InvalidParameter);
    return 0;
  }
  return native->width;
}

std::uint32_t PixelImage::Height() {
  if (native == nullptr) {
    Fail(*this, ImageStatus::InvalidParameter);
    return 0;
  }
  return native->height;
}

bool PixelImage::RawFormat(Guid& format) {
  if (native == nullptr) return Fail(*this, ImageStatus::InvalidParameter);
  if (!native->hasRawFormat) {
    // A blank bitmap has the memory-bitmap format, neither BMP nor GIF.
    format = Guid{0xb96b3caa, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    return true;
  }
  format = native->rawFormat;
  return true;
}

namespace {

// Pixels x0 .. x0 + count - 1 of row y, which the caller has checked lie in
// the image: the one place that knows how each kind of storage holds a pixel.
void ReadPixels(const NativeImage& image, std::uint32_t x0, std::uint32_t y, std::size_t count,
                std::uint32_t* argb) {
  if (!image.bmpFile) {
    const std::uint32_t* row = image.argb.data() + std::size_t(y) * image.width + x0;
    const std::uint32_t alpha = image.format == PixelFormat24bppRGB ? 0xFF000000u : 0;
    for (std::size_t x = 0; x < count; ++x) argb[x] = row[x] | alpha;
    return;
  }
  const std::uint8_t* p = image.BmpPixel(x0, y);
  if (image.format == PixelFormat32bppARGB) {
    for (std::size_t x = 0; x < count; ++x, p += 4) {
      argb[x] =
          std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    }
  } else {
    for (std::size_t x = 0; x < count; ++x, p += 3) {
      argb[x] = 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    }
  }
}

void WritePixels(NativeImage& image, std::uint32_t x0, std::uint32_t y, std::size_t count,
                 const std::uint32_t* argb) {
  if (!image.bmpFile) {
    std::copy_n(argb, count,
                image.argb.begin() + std::ptrdiff_t(std::size_t(y) * image.width + x0));
    return;
  }
  std::uint8_t* p = image.BmpPixel(x0, y);
  const std::size_t step = image.format == PixelFormat32bppARGB ? 4 : 3;
  for (std::size_t x = 0; x < count; ++x, p += step) {
    p[0] = static_cast<std::uint8_t>(argb[x]);
    p[1] = static_cast<std::uint8_t>(argb[x] >> 8);
    p[2] = static_cast<std::uint8_t>(argb[x] >> 16);
    if (step == 4) p[3] = static_cast<std::uint8_t>(argb[x] >> 24);
  }
}

// How many of the row's first count pixels exist; records a failure for the rest.
std::size_t RowPixels(PixelImage& image, std::int32_t y, std::size_t count) {
  NativeImage* native = image.native;
  std::size_t inside = 0;
  if (native != nullptr && y >= 0 && std::uint32_t(y) < native->height) {
    inside = std::min<std::size_t>(count, native->width);
  }
  if (inside < count) image.lastStatus = ImageStatus::InvalidParameter;
  return inside;
}

}  // namespace

bool PixelImage::GetPixel(std::int32_t x, std::int32_t y, std::uint32_t& argb) {
  if (native == nullptr || !InBounds(*native, x, y)) {
    return Fail(*this, ImageStatus::InvalidParameter);
  }
  ReadPixels(*native, std::uint32_t(x), std::uint32_t(y), 1, &argb);
  return true;
}

bool PixelImage::SetPixel(std::int32_t x, std::int32_t y, std::uint32_t argb) {
  if (native == nullptr || !InBounds(*native, x, y)) {
    return Fail(*this, ImageStatus::InvalidParameter);
  }
  WritePixels(*native, std::uint32_t(x), std::uint32_t(y), 1, &argb);
  return true;
}

std::size_t PixelImage::GetRow(std::int32_t y, std::span<std::uint32_t> argb) {
  const std::size_t n = RowPixels(*this, y, argb.size());
  if (n > 0) ReadPixels(*native, 0, std::uint32_t(y), n, argb.data());
  return n;
}

void PixelImage::SetRow(std::int32_t y, std::span<const std::uint32_t> argb) {
  const std::size_t n = RowPixels(*this, y, argb.size());
  if (n > 0) WritePixels(*native, 0, std::uint32_t(y), n, argb.data());
}

bool PixelImage::Save(const std::string& path, const Guid& encoder) {
  if (native == nullptr) return Fail(*this, ImageStatus::InvalidParameter);
  if (!(encoder == kBmpEncoderClsid)) return Fail(*this, ImageStatus::UnknownImageFormat);
  std::vector<std::uint8_t> encoded;
  if (!native->bmpFile) {
    const int bitsPerPixel = native->format == PixelFormat32bppARGB ? 32 : 24;
    if (!EncodeBmp(native->width, native->height, bitsPerPixel, native->argb, encoded)) {
      return Fail(*this, ImageStatus::OutOfMemory);
    }
  }
  const std::span<const std::uint8_t> file =
      native->bmpFile ? std::span<const std::uint8_t>(native->bmpFile, native->layout.fileBytes)
                      : std::span<const std::uint8_t>(encoded);
  if (!WriteFileAtomically(path, file)) {
    return Fail(*this, ImageStatus::Win32Error);
  }
  return true;
}

void ReleasePixelImage(PixelImage* image) {
  if (image == nullptr) return;
  delete image->native;
  delete image;
}

}  // namespace tessarel
