// The image object every other module uses to touch pixels, over GDI+ on
// Windows and over our own codecs elsewhere. An object without a picture (a
// refused size, a file that did not decode) fails every call and does
// nothing else. An image is used by one thread at a time; two images may be
// used at once from two threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "files/staged_files.h"

namespace tessarel {

// What a picture came from: None for an object without a picture, Other for
// one made here (blank or from rows).
enum class PictureKind { None, Bmp, Gif, Other };

// Rgb pictures read back opaque, whatever alpha was written or given.
enum class Channels { Rgb, Argb };

// Starts the imaging layer for its lifetime; made once, in main.
class ImagingSession {
 public:
  ImagingSession();
  ~ImagingSession();
  ImagingSession(const ImagingSession&) = delete;
  ImagingSession& operator=(const ImagingSession&) = delete;
};

struct NativeImage;  // defined by the platform layer

struct PixelImage {
  NativeImage* native = nullptr;  // null: no picture
  // The image, or a write to it, could not have the memory or the open file
  // it needed: it does not hold the pixels it should.
  bool starved = false;

  std::uint32_t Width();
  std::uint32_t Height();
  PictureKind Kind();
  // argb is 0xAARRGGBB; written only when the read succeeds.
  bool GetPixel(std::int32_t x, std::int32_t y, std::uint32_t& argb);
  bool SetPixel(std::int32_t x, std::int32_t y, std::uint32_t argb);
  // GetPixel / SetPixel for x = 0, 1, ... in turn: GetRow returns how many
  // leading pixels it read (0 when the row cannot be read, which may leave
  // any slot changed); SetRow writes those that lie in the image.
  std::size_t GetRow(std::int32_t y, std::span<std::uint32_t> argb);
  void SetRow(std::int32_t y, std::span<const std::uint32_t> argb);
  // Writes the image as the BMP file that files puts at path when committed.
  bool StageBmp(StagedFiles& files, const std::string& path);
  // The image alone, atomically: a failed save leaves an existing file as it was.
  bool SaveBmp(const std::string& path) {
    StagedFiles files;
    return StageBmp(files, path) && files.Commit();
  }
  // True once the image is starved, or a pixel of it could not be had from
  // the file or rows behind it: nothing made from its pixels may stand.
  bool SourceFailed();
  // Frees the pixels the layer can make again from the image's file or rows
  // when they are next needed. A blank or written image keeps its own.
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

// Null only when the object itself cannot be allocated. A lack of memory or
// of open files gives an object without a picture, starved. (GDI+ loads a
// file when it is first needed, and only then may find it has none.)
PixelImagePtr CreateBlankImage(std::int32_t width, std::int32_t height, Channels channels);
// The picture rows gives, as if set on a blank image. The layer may ask rows
// again whenever the image is read or saved, so rows must stay valid for the
// image's lifetime; a row that fails marks the source failed. The first write
// stores every pixel.
PixelImagePtr CreateImageFromRows(std::int32_t width, std::int32_t height, Channels channels,
                                  RowSource rows);
PixelImagePtr LoadImageFromFile(const std::string& path);

}  // namespace tessarel
