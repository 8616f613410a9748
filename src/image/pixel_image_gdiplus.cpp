// The image layer over GDI+'s flat interface.
#include "image/pixel_image.h"

#include <windows.h>

#include <gdiplus.h>  // needs <windows.h> before it

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "files/staged_files_win32.h"
#include "image/pixel_image_gdiplus.h"
#include "platform/failure_reason.h"
#include "platform/shortage.h"

namespace tessarel {

struct NativeImage {
  // Null while an image made from rows or loaded from a file is not built:
  // it is built when first read or written and kept until unloaded, or built
  // for a save and released after it.
  Gdiplus::GpBitmap* bitmap = nullptr;
  RowSource rows;
  std::wstring path;       // of an image loaded from a file
  std::string name;        // that path as the program has it, for the user
  std::int32_t width = 0;  // 0 for a file's image until it has loaded
  std::int32_t height = 0;
  Gdiplus::PixelFormat format = 0;
  bool written = false;  // the bitmap holds pixels that neither rows nor file give
  // A row it was made from could not be produced, or its file could not be
  // loaded again as it was.
  bool sourceFailed = false;
};

namespace {

namespace gdip = Gdiplus::DllExports;
using Gdiplus::GpStatus;

// The object and its handle share one GdipAlloc block: an image costs one
// allocation, and a handle never outlives its object.
struct ImageBlock {
  PixelImage image;
  NativeImage native;
};

ImageBlock& BlockOf(PixelImage& image) {
  return *reinterpret_cast<ImageBlock*>(&image);
}

bool Succeeded(GpStatus status) {
  return status == Gdiplus::Ok;
}

// For a bitmap of a size already checked, GDI+'s OutOfMemory means what it
// says (for a file it also stands for a file it cannot decode).
bool Built(PixelImage& image, GpStatus status) {
  if (status == Gdiplus::OutOfMemory) {
    image.starved = true;
    NoteShortage();
    Explain("not enough memory");
  }
  return Succeeded(status);
}

Gdiplus::PixelFormat FormatOf(Channels channels) {
  return channels == Channels::Argb ? PixelFormat32bppARGB : PixelFormat24bppRGB;
}

PixelImagePtr NewImage() {
  void* memory = gdip::GdipAlloc(sizeof(ImageBlock));
  if (memory == nullptr) return nullptr;
  return PixelImagePtr(&(new (memory) ImageBlock)->image);
}

// GDI+ takes UTF-16 paths; the program's are in the ANSI code page, as the
// console and the *A file functions give them.
bool WidePath(const std::string& path, std::wstring& wide) {
  const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (length <= 0) return false;
  try {
    wide.resize(static_cast<std::size_t>(length));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length) != length) return false;
  wide.pop_back();  // the terminator MultiByteToWideChar wrote; c_str() supplies its own
  return true;
}

// The BMP encoder's class, looked up once the session has started; false
// while GDI+ cannot list its encoders or has none for BMP.
bool BmpEncoder(CLSID& clsid) {
  static std::mutex mutex;
  static CLSID found;
  static bool known = false;
  const std::lock_guard lock(mutex);
  UINT count = 0, bytes = 0;
  if (!known && gdip::GdipGetImageEncodersSize(&count, &bytes) == Gdiplus::Ok) {
    // The list and the strings it points to share one block of the library's size.
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[bytes]);
    auto* list = reinterpret_cast<Gdiplus::ImageCodecInfo*>(block.get());
    if (list != nullptr && gdip::GdipGetImageEncoders(count, bytes, list) == Gdiplus::Ok) {
      for (UINT i = 0; i < count; ++i) {
        if (list[i].MimeType != nullptr && std::wcscmp(list[i].MimeType, L"image/bmp") == 0) {
          found = list[i].Clsid;
          known = true;
        }
      }
    }
  }
  clsid = found;
  return known;
}

// GDI+'s own values of GdipGetImageRawFormat.
constexpr GUID kImageFormatBmp{
    0xb96b3cab, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
constexpr GUID kImageFormatGif{
    0xb96b3cb0, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

bool SameGuid(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

ULONG_PTR sessionToken = 0;

}  // namespace

// The start-up status is not examined: every later call reports its own failure.
ImagingSession::ImagingSession() {
  const Gdiplus::GdiplusStartupInput input;  // version 1, every other field 0
  Gdiplus::GdiplusStartup(&sessionToken, &input, nullptr);
}

ImagingSession::~ImagingSession() {
  Gdiplus::GdiplusShutdown(sessionToken);
}

PixelImagePtr CreateBlankImage(std::int32_t width, std::int32_t height, Channels channels) {
  PixelImagePtr image = NewImage();
  if (!image) return image;
  NativeImage& native = BlockOf(*image).native;
  const GpStatus status = gdip::GdipCreateBitmapFromScan0(width, height, 0, FormatOf(channels),
                                                          nullptr, &native.bitmap);
  if (width > 0 && height > 0 ? Built(*image, status) : Succeeded(status)) {
    native.width = width;
    native.height = height;
    image->native = &native;
  }
  return image;
}

// GDI+ has no bitmap that asks for its rows: the image keeps them and builds
// its bitmap when it is needed (BitmapOf, or a save).
PixelImagePtr CreateImageFromRows(std::int32_t width, std::int32_t height, Channels channels,
                                  RowSource rows) {
  PixelImagePtr image = NewImage();
  if (!image || !rows || width <= 0 || height <= 0) return image;
  NativeImage& native = BlockOf(*image).native;
  native.rows = std::move(rows);
  native.width = width;
  native.height = height;
  native.format = FormatOf(channels);
  image->native = &native;
  return image;
}

PixelImagePtr LoadImageFromFile(const std::string& path) {
  PixelImagePtr image = NewImage();
  if (!image) return image;
  std::wstring wide;
  if (!WidePath(path, wide)) return image;
  // Loaded when first needed, so that images read in turn and unloaded after
  // their last row are held one at a time.
  NativeImage& native = BlockOf(*image).native;
  native.path = std::move(wide);
  native.name = path;
  image->native = &native;
  return image;
}

namespace {

// One row locked as 32bpp ARGB, the form GdipBitmapGetPixel and SetPixel
// take and give, so a row moves with the same values as pixel by pixel.
bool LockRow(Gdiplus::GpBitmap* bitmap, std::int32_t y, std::size_t n, UINT mode,
             std::uint32_t* buffer) {
  Gdiplus::GpRect rect(0, y, static_cast<INT>(n), 1);
  Gdiplus::BitmapData data{};
  data.Width = static_cast<UINT>(n);
  data.Height = 1;
  data.Stride = static_cast<INT>(n * 4);
  data.PixelFormat = PixelFormat32bppARGB;
  data.Scan0 = buffer;
  if (gdip::GdipBitmapLockBits(bitmap, &rect, mode | Gdiplus::ImageLockModeUserInputBuf,
                               PixelFormat32bppARGB, &data) != Gdiplus::Ok) {
    return false;
  }
  return gdip::GdipBitmapUnlockBits(bitmap, &data) == Gdiplus::Ok;
}

// Only opaque values are certain to convert into any pixel format exactly as
// SetPixel would convert them; anything else goes pixel by pixel.
void WriteRow(Gdiplus::GpBitmap* bitmap, std::int32_t y, std::span<const std::uint32_t> argb) {
  const bool opaque =
      std::all_of(argb.begin(), argb.end(), [](std::uint32_t v) { return (v >> 24) == 0xFF; });
  std::vector<std::uint32_t> row(argb.begin(), argb.end());
  if (opaque && LockRow(bitmap, y, row.size(), Gdiplus::ImageLockModeWrite, row.data())) return;
  for (std::size_t x = 0; x < argb.size(); ++x) {
    gdip::GdipBitmapSetPixel(bitmap, static_cast<INT>(x), y, argb[x]);
  }
}

// A bitmap with the pixels of native's rows, each asked for once; a row that
// fails stays zero and marks the image.
GpStatus BuildFromRows(NativeImage& native, Gdiplus::GpBitmap*& bitmap) {
  GpStatus status = gdip::GdipCreateBitmapFromScan0(native.width, native.height, 0, native.format,
                                                    nullptr, &bitmap);
  if (status != Gdiplus::Ok) return status;
  std::vector<std::uint32_t> row;
  try {
    row.resize(static_cast<std::size_t>(native.width));
  } catch (const std::bad_alloc&) {
    gdip::GdipDisposeImage(bitmap);
    bitmap = nullptr;
    return Gdiplus::OutOfMemory;
  }
  for (std::int32_t y = 0; y < native.height; ++y) {
    if (native.rows(static_cast<std::uint32_t>(y), row)) {
      WriteRow(bitmap, y, row);
    } else {
      native.sourceFailed = true;
    }
  }
  return Gdiplus::Ok;
}

// The file's picture; a file that loaded before and now loads otherwise
// (another size, or not at all) marks the image.
GpStatus LoadFile(NativeImage& native, Gdiplus::GpBitmap*& bitmap) {
  GpStatus status = gdip::GdipCreateBitmapFromFile(native.path.c_str(), &bitmap);
  UINT width = 0, height = 0;
  if (status == Gdiplus::Ok &&
      (gdip::GdipGetImageWidth(bitmap, &width) != Gdiplus::Ok ||
       gdip::GdipGetImageHeight(bitmap, &height) != Gdiplus::Ok ||
       (native.width != 0 && (INT(width) != native.width || INT(height) != native.height)))) {
    gdip::GdipDisposeImage(bitmap);
    status = Gdiplus::Win32Error;
  }
  if (status != Gdiplus::Ok) {
    bitmap = nullptr;
    native.sourceFailed = native.width != 0;
    Explain(native.name + (native.sourceFailed ? " changed while it was converted"
                                               : " cannot be read by GDI+ (status " +
                                                     std::to_string(int(status)) + ")"));
    return status;
  }
  native.width = INT(width);
  native.height = INT(height);
  return status;
}

// A bitmap of what image is made from, not kept; null when it cannot be built. A file that never
// loaded leaves an object without a native image, as if it had failed when named.
Gdiplus::GpBitmap* Build(PixelImage& image) {
  NativeImage& native = *image.native;
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (native.rows ? Built(image, BuildFromRows(native, bitmap))
                  : Succeeded(LoadFile(native, bitmap))) {
    return bitmap;
  }
  if (native.width == 0) image.native = nullptr;
  return nullptr;
}

// The image's bitmap, built and kept if it is made from rows or a file; null
// when there is none.
Gdiplus::GpBitmap* BitmapOf(PixelImage& image) {
  if (image.native == nullptr) return nullptr;
  if (image.native->bitmap == nullptr) {
    Gdiplus::GpBitmap* built = Build(image);
    if (built == nullptr) return nullptr;
    image.native->bitmap = built;
  }
  return image.native->bitmap;
}

}  // namespace

namespace {

// Whether the image's size is known, which it is from the start except for a
// file's, until it first loads; false when there is no image.
bool SizeKnown(PixelImage& image) {
  return (image.native != nullptr && image.native->width != 0) || BitmapOf(image) != nullptr;
}

}  // namespace

std::uint32_t PixelImage::Width() {
  return SizeKnown(*this) ? std::uint32_t(native->width) : 0;
}

std::uint32_t PixelImage::Height() {
  return SizeKnown(*this) ? std::uint32_t(native->height) : 0;
}

PictureKind PixelImage::Kind() {
  Gdiplus::GpBitmap* bitmap = BitmapOf(*this);
  GUID format;
  if (bitmap == nullptr || !Succeeded(gdip::GdipGetImageRawFormat(bitmap, &format))) {
    return PictureKind::None;
  }
  if (SameGuid(format, kImageFormatBmp)) return PictureKind::Bmp;
  return SameGuid(format, kImageFormatGif) ? PictureKind::Gif : PictureKind::Other;
}

bool PixelImage::GetPixel(std::int32_t x, std::int32_t y, std::uint32_t& argb) {
  Gdiplus::GpBitmap* bitmap = BitmapOf(*this);
  Gdiplus::ARGB value = 0;
  if (bitmap == nullptr || !Succeeded(gdip::GdipBitmapGetPixel(bitmap, x, y, &value))) {
    return false;
  }
  argb = value;
  return true;
}

bool PixelImage::SetPixel(std::int32_t x, std::int32_t y, std::uint32_t argb) {
  Gdiplus::GpBitmap* bitmap = BitmapOf(*this);
  if (bitmap == nullptr || !Succeeded(gdip::GdipBitmapSetPixel(bitmap, x, y, argb))) {
    return false;
  }
  native->written = true;
  return true;
}

namespace {

// How many of the row's first count pixels exist.
std::size_t RowPixels(PixelImage& image, std::int32_t y, std::size_t count) {
  if (BitmapOf(image) == nullptr) return 0;
  const std::uint32_t width = image.Width();
  const std::uint32_t height = image.Height();
  std::size_t inside = 0;
  if (y >= 0 && std::uint32_t(y) < height) inside = std::min<std::size_t>(count, width);
  return inside;
}

}  // namespace

std::size_t PixelImage::GetRow(std::int32_t y, std::span<std::uint32_t> argb) {
  const std::size_t n = RowPixels(*this, y, argb.size());
  if (n == 0) return 0;
  std::vector<std::uint32_t> row(n);
  if (LockRow(native->bitmap, y, n, Gdiplus::ImageLockModeRead, row.data())) {
    std::copy(row.begin(), row.end(), argb.begin());
    return n;
  }
  for (std::size_t x = 0; x < n; ++x) {
    if (!GetPixel(static_cast<std::int32_t>(x), y, argb[x])) return x;
  }
  return n;
}

void PixelImage::SetRow(std::int32_t y, std::span<const std::uint32_t> argb) {
  const std::size_t n = RowPixels(*this, y, argb.size());
  if (n == 0) return;
  native->written = true;
  WriteRow(native->bitmap, y, argb.first(n));
}

bool PixelImage::StageBmp(StagedFiles& files, const std::string& path) {
  CLSID clsid;
  if (native == nullptr || !BmpEncoder(clsid)) return false;
  // An image that is not built is built for this save only and released
  // after it, so that a pair saved in turn holds one bitmap at a time.
  const bool transient = native->bitmap == nullptr;
  Gdiplus::GpBitmap* bitmap = transient ? Build(*this) : native->bitmap;
  if (bitmap == nullptr) return false;
  const std::unique_ptr<Gdiplus::GpBitmap, void (*)(Gdiplus::GpBitmap*)> release(
      transient ? bitmap : nullptr, [](Gdiplus::GpBitmap* b) { gdip::GdipDisposeImage(b); });
  // Rows that failed stay blank: such an image must not be saved as if whole.
  if (native->sourceFailed) {
    Explain("the input ended or could not be read while it was converted");
    return false;
  }
  GpStatus status = Gdiplus::Ok;
  const bool saved = StageNamedFile(files, path, [&](const std::string& temporary) {
    std::wstring wide;
    status = WidePath(temporary, wide)
                 ? gdip::GdipSaveImageToFile(bitmap, wide.c_str(), &clsid, nullptr)
                 : Gdiplus::InvalidParameter;
    return status == Gdiplus::Ok;
  });
  // The library succeeded but the file system did not: no GDI+ status says so.
  if (!saved && status != Gdiplus::Ok) {
    Explain("GDI+ cannot save " + path + " (status " + std::to_string(int(status)) + ")");
  }
  return saved;
}

bool PixelImage::SourceFailed() {
  return starved || (native != nullptr && native->sourceFailed);
}

void PixelImage::Unload() {
  // A blank or written image has no other copy of its pixels.
  if (native == nullptr || native->bitmap == nullptr || native->written) return;
  if (!native->rows && native->path.empty()) return;
  gdip::GdipDisposeImage(native->bitmap);
  native->bitmap = nullptr;
}

bool ImagesHeldWhole() {
  return true;
}

void ReleasePixelImage(PixelImage* image) {
  if (image == nullptr) return;
  if (image->native != nullptr && image->native->bitmap != nullptr) {
    gdip::GdipDisposeImage(image->native->bitmap);
  }
  ImageBlock& block = BlockOf(*image);
  block.~ImageBlock();
  gdip::GdipFree(&block);
}

bool DrawPixelImage(Gdiplus::GpGraphics* graphics, PixelImage& image, std::int32_t x,
                    std::int32_t y) {
  Gdiplus::GpBitmap* bitmap = BitmapOf(image);
  return bitmap != nullptr && Succeeded(gdip::GdipDrawImageI(graphics, bitmap, x, y));
}

}  // namespace tessarel
