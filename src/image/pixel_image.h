// The image object every other module uses to touch pixels. One PixelImage owns
// one native image of the platform's imaging layer (GDI+ on Windows, our own
// in-memory bitmap elsewhere) and the status of the last call on it that failed.
//
// Failure contract the callers rely on: every operation on an object without a
// native image fails and has no other effect (sizes read 0, no format, pixel
// reads fail, saves write nothing); pixels outside the image fail; a blank image
// of width or height 0 has no native image. lastStatus is recorded for
// debugging only; callers decide by what the failed call left behind.
//
// Threads: an image is used by one thread at a time, not necessarily the one
// that made it, and so are the rows an image was made from; two images may
// be used at once from two threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/staged_files.h"

namespace tessarel {

// The status of an image's last failed call as its platform layer numbers
// it (GDI+'s Status on Windows); only Ok, 0, has a meaning of its own.
enum class ImageStatus : int { Ok = 0 };

using PixelFormat = std::int32_t;
inline constexpr PixelFormat PixelFormat24bppRGB = 0x21808;
inline constexpr PixelFormat PixelFormat32bppARGB = 0x26200A;

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
  friend bool operator==(const Guid&, const Guid&) = default;
};

inline constexpr Guid ImageFormatBMP{
    0xb96b3cab, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr Guid ImageFormatGIF{
    0xb96b3cb0, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

struct ImageEncoderInfo {
  Guid clsid;
  std::string mimeType;
};

// Starts the imaging layer for the lifetime of the object; the start-up status
// is deliberately not examined (every later call reports its own failure).
class ImagingSession {
 public:
  ImagingSession();
  ~ImagingSession();
  ImagingSession(const ImagingSession&) = delete;
  ImagingSession& operator=(const ImagingSession&) = delete;

 private:
  [[maybe_unused]] std::uintptr_t token_ = 0;
};

// The encoders the imaging layer offers, in its own order. False when the
// list cannot be obtained.
bool ListImageEncoders(std::vector<ImageEncoderInfo>& encoders);

struct NativeImage;  // defined by the platform layer

struct PixelImage {
  NativeImage* native = nullptr;
  ImageStatus lastStatus = ImageStatus::Ok;
  // The image, or a write to it, could not have the memory or the open file
  // it needed: it does not hold the pixels it should.
  bool starved = false;

  std::uint32_t Width();
  std::uint32_t Height();
  bool RawFormat(Guid& format);
  // argb is 0xAARRGGBB; written only when the read succeeds.
  bool GetPixel(std::int32_t x, std::int32_t y, std::uint32_t& argb);
  bool SetPixel(std::int32_t x, std::int32_t y, std::uint32_t argb);
  // Row forms for the conversion loops, with exactly the results of
  // GetPixel / SetPixel called for x = 0, 1, ... in turn: GetRow returns how
  // many leading pixels of row y it read (pixels past the image fail, and
  // leave their slots untouched; a row that cannot be read at all gives 0,
  // and may have changed any slot); SetRow writes those that lie in the image.
  std::size_t GetRow(std::int32_t y, std::span<std::uint32_t> argb);
  void SetRow(std::int32_t y, std::span<const std::uint32_t> argb);
  // Writes the image as the file that files puts at path when committed.
  bool Stage(StagedFiles& files, const std::string& path, const Guid& encoder);
  // The image alone, atomically: a failed save leaves an existing file as it was.
  bool Save(const std::string& path, const Guid& encoder) {
    StagedFiles files;
    return Stage(files, path, encoder) && files.Commit();
  }
  // True once the image is starved, or a pixel inside it could not be read
  // because the file behind it failed (it shrank or became unreadable since
  // it was opened): nothing made from the image's pixels may then stand as a
  // result.
  bool SourceFailed();
  // For a caller done with the image for now: frees the pixels the layer can
  // make again from the file or the rows the image came from, which it then
  // does when they are next needed. A blank or written image keeps its own.
  void Unload();
};

// True when the layer holds an image whole once it is read (GDI+): callers
// that can read two images one after the other, unloading the first, then
// hold one at a time.
bool ImagesHeldWhole();

void ReleasePixelImage(PixelImage* image);

struct PixelImageRelease {
  void operator()(PixelImage* image) const noexcept { ReleasePixelImage(image); }
};
using PixelImagePtr = std::unique_ptr<PixelImage, PixelImageRelease>;

// Fills argb (exactly the image's width) with row y, top row 0, as 0xAARRGGBB;
// false when the row cannot be produced.
using RowSource = std::function<bool(std::uint32_t y, std::span<std::uint32_t> argb)>;

// All three return null only when the object itself cannot be allocated; a
// refused size or an undecodable file gives an object without a native image
// (with GDI+ a file is loaded when first needed, and becomes such an object
// then), and so does a lack of memory or of open files, which also leaves
// the object starved.
PixelImagePtr CreateBlankImage(std::int32_t width, std::int32_t height, PixelFormat format);
// An image with the pixels rows gives, as if each had been set on a blank
// image of that format (24bpp reads back opaque). Where the layer can, it
// keeps rows instead of the pixels and asks it again whenever a row is read
// or saved, so that a picture converted on its way to a file is never held
// whole; then rows must stay valid for the image's lifetime, pixels of a row
// it cannot produce fail to read, and a save needing one fails. The first
// write to the image stores every pixel (rows it cannot produce stay zero).
// With GDI+ every row is asked for once each time the image is built: when it
// is first read, written or saved, or read again after Unload; a row that
// fails stays zero. An image only saved is built for the save and released
// after it.
PixelImagePtr CreateImageFromRows(std::int32_t width, std::int32_t height, PixelFormat format,
                                  RowSource rows);
PixelImagePtr LoadImageFromFile(const std::string& path);

}  // namespace tessarel
