#include "raw/raw_file.h"

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
  try {
    colour.resize(std::size_t(size.width));
    transparency.resize(std::size_t(size.width));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::int32_t y = 0; y < size.height; ++y) {
    if (!UnpackRawPixels(bytes, sizes, std::size_t(y) * std::size_t(size.width), colour,
                         transparency)) {
      return false;
    }
    for (std::int32_t x = 0; x < size.width; ++x) {
      picture->SetPixel(x, y, ToArgb(colour[std::size_t(x)]));
      mask->SetPixel(x, y, transparency[std::size_t(x)] == 0 ? kOpaqueBlack : kOpaqueWhite);
    }
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

  std::vector<RawPixel> colour, transparency;
  std::vector<std::uint8_t> bytes;
  try {
    colour.resize(width);
    transparency.resize(width);
    bytes.assign(sizes.fileBytes, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // A failed read repeats the last value read from the same image, so a mask
  // smaller than the picture extends its last pixel.
  std::uint32_t lastColour = kOpaqueBlack, lastMask = kOpaqueBlack;
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      std::uint32_t value;
      if (picture->GetPixel(x, y, value)) lastColour = value;
      if (mask->GetPixel(x, y, value)) lastMask = value;
      colour[std::size_t(x)] = ToRawPixel(lastColour);
      transparency[std::size_t(x)] = ToRawPixel(lastMask);
    }
    if (!PackRawPixels(colour, transparency, sizes, std::size_t(y) * width, bytes)) return false;
  }

  const std::string name = RawOutputPath(outPath, w, h, sizeMask);
  if (!keepIntact.empty() && IsSameFile(name, keepIntact)) return false;
  return WriteFileAtomically(name, bytes);
}

}  // namespace tessarel
