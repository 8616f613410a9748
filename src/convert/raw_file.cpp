#include "convert/raw_file.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "codec/raw_codec.h"
#include "convert/side_task.h"
#include "convert/size_pattern.h"
#include "files/banded_file.h"
#include "files/read_only_file.h"
#include "files/staged_files.h"
#include "platform/failure_reason.h"
#include "platform/path_names.h"
#include "platform/shortage.h"

namespace tessarel {
namespace {

constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;
// RAW files are written in pieces of this size.
constexpr std::size_t kPieceBytes = 256 * 1024;

// Row y as pixel-by-pixel reads would give it: pixels that cannot be read
// repeat the last one that could. Returns the last value for the next row.
std::uint32_t ReadRowWithFallback(PixelImage& image, std::int32_t y,
                                  std::vector<std::uint32_t>& row, std::uint32_t last) {
  const std::size_t read = image.GetRow(y, row);
  if (read > 0) last = row[read - 1];
  std::fill(row.begin() + std::ptrdiff_t(read), row.end(), last);
  return last;
}

// Why a name gives no size: where the mask says each number starts.
std::string NoSizeReason(const std::string& sizeMask) {
  if (sizeMask.empty()) {
    return "the size mask is empty: with four arguments the second is the mask, and it is not a "
           "-f: option";
  }
  const SizeMask mask = ParseSizeMask(sizeMask);
  const auto quoted = [](char c) {
    return c == '\0' ? std::string("nothing") : '"' + std::string(1, c) + '"';
  };
  std::string where = mask.widthOpen == mask.heightOpen
                          ? "each number is read after the last " + quoted(mask.widthOpen)
                          : "the width is read after the last " + quoted(mask.widthOpen) +
                                ", the height after the last " + quoted(mask.heightOpen);
  return "the name gives no width and height under the size mask \"" + sizeMask + "\" (" + where +
         " in the name)";
}

bool LoadRawImages(const std::string& path, const std::string& sizeMask, PixelImagePtr& picture,
                   PixelImagePtr& mask) {
  // Only the file name carries the size: letters of a directory never count.
  const SizeFromName size = ParseSizeFromName(FileNamePart(path), sizeMask);
  RawSizes sizes;
  if (size.width <= 0 || size.height <= 0) {
    Explain(NoSizeReason(sizeMask));
    return false;
  }
  if (!RawLayout(size.width, size.height, sizes)) {
    Explain("a RAW picture of " + std::to_string(size.width) + " x " + std::to_string(size.height) +
            " pixels is more than this build can hold");
    return false;
  }
  auto file = std::make_shared<ReadOnlyFile>();
  if (!file->Open(path)) return false;
  if (file->Size() < sizes.colourBytes + sizes.maskBytes) {
    Explain("the file has " + std::to_string(file->Size()) + " bytes, but " +
            std::to_string(size.width) + " x " + std::to_string(size.height) + " pixels need " +
            std::to_string(sizes.colourBytes + sizes.maskBytes));
    return false;
  }

  // Both images read their rows from the file whenever they are read or
  // saved, so that a picture converted to BMP is never held whole.
  const auto width = std::uint32_t(size.width);
  const auto height = std::uint32_t(size.height);
  auto colourRows = std::make_shared<BandedFile>(
      file, 0, RowLength::Bytes(2 * std::uint64_t{width}), height, kPieceBytes);
  auto maskRows = std::make_shared<BandedFile>(file, sizes.colourBytes, RowLength::Bits(width),
                                               height, kPieceBytes);
  picture =
      CreateImageFromRows(size.width, size.height, Channels::Rgb,
                          [colourRows](std::uint32_t y, std::span<std::uint32_t> row) {
                            std::span<const std::uint8_t> bytes;
                            return colourRows->Row(y, bytes) && UnpackRawColourArgb(bytes, row);
                          });
  mask =
      CreateImageFromRows(size.width, size.height, Channels::Rgb,
                          [maskRows](std::uint32_t y, std::span<std::uint32_t> row) {
                            std::span<const std::uint8_t> bytes;
                            std::size_t bit = 0;
                            if (!maskRows->Row(y, bytes, bit) || !UnpackRawMask(bytes, bit, row)) {
                              return false;
                            }
                            // 0 (transparent) becomes black, 0x00FFFFFF white:
                            // opaque rows are the ones every layer takes whole.
                            for (std::uint32_t& pixel : row) pixel |= kOpaqueBlack;
                            return true;
                          });
  // An image the memory could not be had for would read as black.
  return picture && mask && !picture->starved && !mask->starved;
}

}  // namespace

bool LoadRawFile(const std::string& path, const std::string& sizeMask, PixelImagePtr& picture,
                 PixelImagePtr& mask) {
  try {
    return LoadRawImages(path, sizeMask, picture, mask);
  } catch (const std::bad_alloc&) {
    NoteShortage();
    Explain("not enough memory");
    return false;
  }
}

std::string RawOutputPath(const std::string& outPath, std::int32_t width, std::int32_t height,
                          const std::string& sizeMask) {
  const std::string base = BaseOfPath(outPath);
  // A name that already reads as the true size keeps it; any other name gets
  // the suffix, so that every written file loads back at its real size.
  const SizeFromName named = ParseSizeFromName(FileNamePart(base + ".raw"), sizeMask);
  if (named.found && named.width == width && named.height == height) return base + ".raw";
  return base + "(" + std::to_string(width) + "x" + std::to_string(height) + ").raw";
}

namespace {

// One RAW file being written from a picture and its mask of width x height.
struct RawWriter {
  RawWriter(PixelImage& picture, PixelImage& mask)
      : picture(picture), mask(mask), width(picture.Width()), height(picture.Height()) {}

  PixelImage& picture;
  PixelImage& mask;
  std::uint32_t width;
  std::uint32_t height;
  RawSizes sizes;
  std::vector<std::uint32_t> pictureRow, maskRow;
  std::vector<std::uint8_t> piece, maskPiece;
  // Rows of the mask plane per piece: a multiple of 8, so that each piece
  // starts on a byte.
  std::uint32_t maskPieceRows = 8;
  bool maskMade = true;

  // False, having said why, when the memory for the rows cannot be had.
  bool AllocateRows() {
    const std::size_t maskPlaneBytes = sizes.fileBytes - sizes.colourBytes;
    const std::size_t eightRows = std::max<std::size_t>(width, 1);
    maskPieceRows = 8 * std::uint32_t(std::max<std::size_t>(kPieceBytes / eightRows, 1));
    try {
      for (auto* row : {&pictureRow, &maskRow}) row->resize(width);
      // No bigger than the plane: a small picture fills no more than it needs.
      piece.resize(std::max(std::min(kPieceBytes, sizes.colourBytes), 2 * std::size_t(width)));
      // The last piece may take the plane's padding byte as well.
      maskPiece.resize(std::min(maskPlaneBytes, maskPieceRows / 8 * std::size_t(width) + 1));
    } catch (const std::bad_alloc&) {
      NoteShortage();
      Explain("not enough memory");
      return false;
    }
    return true;
  }

  // The transparency plane, an eighth of a byte per pixel, goes to its place
  // after the colour plane in pieces of whole bytes, beside the colour
  // plane's writes. A failed read repeats the last value read from the same
  // image, carried across rows, so a mask smaller than the picture extends
  // its last pixel.
  void WriteMaskPlane(const WriteChunkAt& writeAt) {
    std::uint32_t last = kOpaqueBlack;
    for (std::uint32_t top = 0; top < height && maskMade; top += maskPieceRows) {
      const std::uint32_t rows = std::min(maskPieceRows, height - top);
      const std::size_t start = std::size_t(top / 8) * width;
      const std::size_t end = rows == height - top ? sizes.fileBytes - sizes.colourBytes
                                                   : start + std::size_t(rows / 8) * width;
      const std::span<std::uint8_t> bytes = std::span(maskPiece).first(end - start);
      std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
      for (std::uint32_t y = top; y < top + rows && maskMade; ++y) {
        last = ReadRowWithFallback(mask, std::int32_t(y), maskRow, last);
        // Only whether a mask pixel is black matters.
        for (std::uint32_t& pixel : maskRow) pixel &= 0x00FFFFFFu;
        maskMade = PackRawMask(maskRow, std::size_t(y - top) * width, bytes);
      }
      maskMade = maskMade && writeAt(sizes.colourBytes + start, bytes);
    }
  }

  // The colour plane goes out in pieces as rows are converted; the last
  // piece, piece[0, filled), is left for the end.
  bool WriteColourPlane(const WriteChunk& write, std::size_t& filled) {
    std::uint32_t last = kOpaqueBlack;
    const std::size_t rowBytes = 2 * std::size_t(width);
    for (std::uint32_t y = 0; y < height; ++y) {
      last = ReadRowWithFallback(picture, std::int32_t(y), pictureRow, last);
      if (filled + rowBytes > piece.size()) {
        if (!write(std::span(piece).first(filled))) return false;
        filled = 0;
      }
      if (!PackRawColourArgb(pictureRow, std::span(piece).subspan(filled))) return false;
      filled += rowBytes;
    }
    return true;
  }

  // The mask plane of a big picture is made on a second thread while this
  // one makes and writes the colour plane, unless reading the two side by
  // side would hold both whole. Each image is read by one thread only; one
  // image passed as both is read here, in turn, as when no thread can start.
  bool Write(const WriteChunk& write, const WriteChunkAt& writeAt) {
    SideTask maskTask(WorthTwoThreads(&picture, &mask),
                      [this, &writeAt] { WriteMaskPlane(writeAt); });
    std::size_t filled = 0;
    if (!WriteColourPlane(write, filled)) return false;
    if (!maskTask.Started() && &picture != &mask) picture.Unload();
    maskTask.RunHereUnlessStarted();
    // A source that failed under the reads gave fallback pixels, not its own.
    return maskMade && !picture.SourceFailed() && !mask.SourceFailed() &&
           write(std::span(piece).first(filled));
  }
};

}  // namespace

bool StageRawFile(StagedFiles& files, const std::string& outPath, PixelImage* picture,
                  PixelImage* mask, const std::string& sizeMask) {
  if (picture == nullptr || mask == nullptr) return false;
  // What a starved image would give is not its picture.
  if (picture->SourceFailed() || mask->SourceFailed()) return false;
  RawWriter writer(*picture, *mask);
  if (writer.width > INT32_MAX || writer.height > INT32_MAX ||
      !RawLayout(writer.width, writer.height, writer.sizes) || !writer.AllocateRows()) {
    return false;
  }
  const std::string name =
      RawOutputPath(outPath, std::int32_t(writer.width), std::int32_t(writer.height), sizeMask);
  return files.AddPlacing(name, [&writer](const WriteChunk& write, const WriteChunkAt& writeAt) {
    return writer.Write(write, writeAt);
  });
}

}  // namespace tessarel
