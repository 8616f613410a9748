#include "raw/raw_file.h"

#include <algorithm>
#include <new>
#include <vector>

#include "imaging/file_io.h"
#include "imaging/path_names.h"
#include "raw/raw_codec.h"
#include "raw/size_pattern.h"

namespace tessarel {
namespace {

constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;
constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFFu;

RawPixel ToRawPixel(std::uint32_t argb) {
  return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
}

std::uint32_t ToArgb(RawPixel colour) {
  return kOpaqueBlack | ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// Row y as pixel-by-pixel reads would give it: pixels that cannot be read
// repeat the last one that could. Returns the last value for the next row.
std::uint32_t ReadRowWithFallback(PixelImage& image, std::int32_t y,
                                  std::vector<std::uint32_t>& row, std::uint32_t last) {
  const std::size_t read = image.GetRow(y, row);
  if (read > 0) last = row[read - 1];
  std::fill(row.begin() + std::ptrdiff_t(read), row.end(), last);
  return last;
}

}  // namespace

bool LoadRawFile(const std::string& path, const std::string& sizeMask, PixelImagePtr& picture,
                 PixelImagePtr& mask) {
  // Only the file name carries the size: letters of a directory never count.
  const SizeFromName size = ParseSizeFromName(FileNamePart(path), sizeMask);
  if (!size.found) return false;
  if (picture || mask) return false;
  RawSizes sizes;
  if (size.width <= 0 || size.height <= 0 || !RawLayout(size.width, size.height, sizes)) {
    return false;
  }
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  if (bytes.size() < sizes.colourBytes + sizes.maskBytes) return false;

  picture = CreateBlankImage(size.width, size.height, PixelFormat24bppRGB);
  mask = CreateBlankImage(size.width, size.height, PixelFormat24bppRGB);
  if (!picture || !mask) return false;

  // One row at a time: whole-picture arrays would double the peak memory.
  std::vector<RawPixel> colour, transparency;
  std::vector<std::uint32_t> pictureRow, maskRow;
  try {
    for (auto* row : {&colour, &transparency, &pictureRow, &maskRow}) {
      row->resize(std::size_t(size.width));
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::int32_t y = 0; y < size.height; ++y) {
    if (!UnpackRawPixels(bytes, sizes, std::size_t(y) * std::size_t(size.width), colour,
                         transparency)) {
      return false;
    }
    for (std::size_t x = 0; x < colour.size(); ++x) {
      pictureRow[x] = ToArgb(colour[x]);
      maskRow[x] = transparency[x] == 0 ? kOpaqueBlack : kOpaqueWhite;
    }
    picture->SetRow(y, pictureRow);
    mask->SetRow(y, maskRow);
  }
  return true;
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

bool SaveRawFile(const std::string& outPath, PixelImage* picture, PixelImage* mask,
                 const std::string& sizeMask, const std::string& keepIntact) {
  if (picture == nullptr || mask == nullptr) return false;
  const std::uint32_t width = picture->Width();
  const std::uint32_t height = picture->Height();
  RawSizes sizes;
  if (width > INT32_MAX || height > INT32_MAX || !RawLayout(width, height, sizes)) return false;
  const auto w = static_cast<std::int32_t>(width);
  const auto h = static_cast<std::int32_t>(height);

  std::vector<std::uint32_t> pictureRow, maskRow;
  std::vector<RawPixel> colour, transparency;
  std::vector<std::uint8_t> bytes;
  try {
    for (auto* row : {&pictureRow, &maskRow, &colour, &transparency}) row->resize(width);
    bytes.assign(sizes.fileBytes, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // A failed read repeats the last value read from the same image, carried
  // across rows, so a mask smaller than the picture extends its last pixel.
  std::uint32_t lastColour = kOpaqueBlack, lastMask = kOpaqueBlack;
  for (std::int32_t y = 0; y < h; ++y) {
    lastColour = ReadRowWithFallback(*picture, y, pictureRow, lastColour);
    lastMask = ReadRowWithFallback(*mask, y, maskRow, lastMask);
    for (std::size_t x = 0; x < width; ++x) {
      colour[x] = ToRawPixel(pictureRow[x]);
      transparency[x] = ToRawPixel(maskRow[x]);
    }
    if (!PackRawPixels(colour, transparency, sizes, std::size_t(y) * width, bytes)) return false;
  }

  const std::string name = RawOutputPath(outPath, w, h, sizeMask);
  if (!keepIntact.empty() && IsSameFile(name, keepIntact)) return false;
  return WriteFileAtomically(name, bytes);
}

}  // namespace tessarel
