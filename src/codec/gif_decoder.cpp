// First-frame GIF decoding over giflib, read record by record rather than
// with DGifSlurp: slurping decodes every frame into buffers sized by the file's
// own claims before we could look at them, which is how a 44-byte file asks
// for gigabytes.
#include "codec/gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace tessarel {
namespace {

// LZW turns one 12-bit code into at most 4096 pixels; a canvas much larger
// than the data could ever fill is refused before it is allocated.
constexpr std::uint64_t kMaxPixelsPerFileByte = 4096;
constexpr std::uint64_t kSmallCanvas = std::uint64_t{1} << 20;

constexpr std::string_view kNoFrameFits = "it has no frame, or one larger than its data could fill";

struct MemoryReader {
  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const std::size_t available = reader->bytes.size() - reader->position;
  const std::size_t n = std::min(available, static_cast<std::size_t>(length));
  // An empty input has no data pointer, and memcpy may not be given none.
  if (n > 0) std::memcpy(out, reader->bytes.data() + reader->position, n);
  reader->position += n;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const noexcept {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

bool CanvasAllowed(std::uint64_t width, std::uint64_t height, std::size_t fileSize) {
  const std::uint64_t pixels = width * height;
  if (pixels == 0 || pixels > kMaxDecodedPixels) return false;
  return pixels <= kSmallCanvas || pixels <= std::uint64_t(fileSize) * kMaxPixelsPerFileByte;
}

// giflib leaves a file without any colour table with no map at all; Pillow
// shows such a file's index n as the grey n, n, n, and so do we.
std::uint32_t PaletteColour(const ColorMapObject* map, GifPixelType index) {
  if (map == nullptr) return 0xFF000000u | index * 0x010101u;
  if (index >= map->ColorCount) return 0xFF000000u;
  const GifColorType& c = map->Colors[index];
  return 0xFF000000u | (std::uint32_t(c.Red) << 16) | (std::uint32_t(c.Green) << 8) | c.Blue;
}

// An extension's blocks, all read; a graphics control block among them gives
// the transparent index.
bool ReadExtension(GifFileType* gif, int& transparentIndex) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
    GraphicsControlBlock gcb;
    if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
      transparentIndex = gcb.TransparentColor;
    }
  }
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
  }
  return true;
}

// The records up to the first frame's descriptor, which it reads into
// gif->Image; false when the file ends first or giflib refuses a record.
bool ReadFirstFrameDescriptor(GifFileType* gif, int& transparentIndex) {
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif, &record) != GIF_OK) return false;
    if (record == TERMINATE_RECORD_TYPE) return false;  // no frame at all
    if (record == EXTENSION_RECORD_TYPE && !ReadExtension(gif, transparentIndex)) return false;
    if (record == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) == GIF_OK;
  }
}

// One line of the frame's indices onto canvas row y, cut at the canvas's
// right edge.
void PaintLine(const GifFileType* gif, int transparentIndex, std::span<const GifPixelType> line,
               std::uint64_t y, std::uint64_t width, DecodedBitmap& out) {
  const GifImageDesc& frame = gif->Image;
  const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
  for (std::size_t col = 0; col < line.size(); ++col) {
    const std::uint64_t x = std::uint64_t(frame.Left) + col;
    if (x >= width) break;
    std::uint32_t argb = PaletteColour(map, line[col]);
    if (line[col] == transparentIndex) argb &= 0x00FFFFFFu;
    out.argb[std::size_t(y * width + x)] = argb;
  }
}

// The frame's lines in the order the file holds them, interlaced or not,
// onto the width x height canvas in out.argb; lines below it are read and
// dropped.
bool PaintFrame(GifFileType* gif, int transparentIndex, std::uint64_t width, std::uint64_t height,
                DecodedBitmap& out) {
  const GifImageDesc& frame = gif->Image;
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  static constexpr int kPassStart[] = {0, 4, 2, 1};
  static constexpr int kPassStep[] = {8, 8, 4, 2};
  const int passes = frame.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = frame.Interlace ? kPassStart[pass] : 0;
    const int step = frame.Interlace ? kPassStep[pass] : 1;
    for (int row = start; row < frame.Height; row += step) {
      if (frame.Width > 0 && DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) return false;
      const std::uint64_t y = std::uint64_t(frame.Top) + std::uint64_t(row);
      if (y < height) PaintLine(gif, transparentIndex, line, y, width, out);
    }
  }
  return true;
}

bool DecodeFirstFrame(GifFileType* gif, std::size_t fileSize, DecodedBitmap& out) {
  int transparentIndex = NO_TRANSPARENT_COLOR;
  if (!ReadFirstFrameDescriptor(gif, transparentIndex)) return false;

  // giflib reads every size and position as an unsigned 16-bit number.
  const GifImageDesc& frame = gif->Image;
  // A zero-sized logical screen is taken as the frame's own size.
  const std::uint64_t width =
      gif->SWidth > 0 ? std::uint64_t(gif->SWidth) : std::uint64_t(frame.Width);
  const std::uint64_t height =
      gif->SHeight > 0 ? std::uint64_t(gif->SHeight) : std::uint64_t(frame.Height);
  if (!CanvasAllowed(width, height, fileSize)) return false;
  if (std::uint64_t(frame.Width) * std::uint64_t(frame.Height) > kMaxDecodedPixels) return false;

  try {
    // Outside the first frame nothing has been painted yet: transparent.
    out.argb.assign(static_cast<std::size_t>(width * height), 0);
    if (!PaintFrame(gif, transparentIndex, width, height, out)) return false;
  } catch (const std::bad_alloc&) {
    out.outOfMemory = true;
    return false;
  }
  out.width = static_cast<std::uint32_t>(width);
  out.height = static_cast<std::uint32_t>(height);
  out.hasAlpha = true;
  return true;
}

}  // namespace

bool DecodeGif(std::span<const std::uint8_t> file, DecodedBitmap& out) {
  out = DecodedBitmap{};
  MemoryReader reader{file, 0};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadFromMemory, &error));
  if (!gif) {
    out.outOfMemory = error == D_GIF_ERR_NOT_ENOUGH_MEM;
    out.why = GifErrorString(error);
    return false;
  }
  if (!DecodeFirstFrame(gif.get(), file.size(), out)) {
    const bool outOfMemory = out.outOfMemory || gif->Error == D_GIF_ERR_NOT_ENOUGH_MEM;
    const char* why = gif->Error != 0 ? GifErrorString(gif->Error) : nullptr;
    out = DecodedBitmap{};
    out.outOfMemory = outOfMemory;
    out.why = why != nullptr ? why : kNoFrameFits;
    return false;
  }
  return true;
}

bool GifTooBigToDecode(std::span<const std::uint8_t> header, std::string_view& why) {
  constexpr std::string_view kMagic = "GIF8";
  if (header.size() < 10 || !std::equal(kMagic.begin(), kMagic.end(), header.begin())) {
    return false;
  }
  // The logical screen's width and height, little-endian, after the 6-byte signature.
  const std::uint64_t width = header[6] | unsigned{header[7]} << 8;
  const std::uint64_t height = header[8] | unsigned{header[9]} << 8;
  why = kNoFrameFits;
  return width * height > kMaxDecodedPixels;
}

}  // namespace tessarel
