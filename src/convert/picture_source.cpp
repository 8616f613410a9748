#include "convert/picture_source.h"

#include <algorithm>
#include <new>
#include <vector>

#include "files/file_identity.h"
#include "platform/failure_reason.h"
#include "platform/path_names.h"
#include "platform/shortage.h"

namespace tessarel {
namespace {

constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kTransparentBlack = 0xFF000000u;

PixelImagePtr BlankMaskFor(PixelImage& picture) {
  const std::uint32_t width = picture.Width();
  const std::uint32_t height = picture.Height();
  return CreateBlankImage(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                          Channels::Argb);
}

// Made from rows: an all-white mask costs no memory per pixel.
PixelImagePtr AllOpaqueMask(PixelImage& picture) {
  return CreateImageFromRows(static_cast<std::int32_t>(picture.Width()),
                             static_cast<std::int32_t>(picture.Height()), Channels::Argb,
                             [](std::uint32_t, std::span<std::uint32_t> row) {
                               std::fill(row.begin(), row.end(), kOpaqueWhite);
                               return true;
                             });
}

// Null when the memory for it cannot be had.
PixelImagePtr MaskFromAlpha(PixelImage& picture) {
  PixelImagePtr mask = BlankMaskFor(picture);
  // A starved mask could not keep what it is given.
  if (!mask || mask->starved) return mask;
  std::vector<std::uint32_t> row;
  try {
    row.resize(picture.Width());
  } catch (const std::bad_alloc&) {
    NoteShortage();
    Explain("not enough memory");
    return nullptr;
  }
  const auto height = static_cast<std::int32_t>(picture.Height());
  // A pixel that cannot be read counts as the last one that could.
  std::uint32_t last = kTransparentBlack;
  for (std::int32_t y = 0; y < height; ++y) {
    const std::size_t read = picture.GetRow(y, row);
    for (std::size_t x = 0; x < row.size(); ++x) {
      if (x < read) last = row[x];
      row[x] = (last >> 24) == 0xFF ? kOpaqueWhite : kTransparentBlack;
    }
    mask->SetRow(y, row);
  }
  return mask;
}

}  // namespace

bool LoadSourceImage(const std::string& path, PixelImagePtr& picture, PixelImagePtr& mask) {
  const std::string maskName = CompanionMaskName(path);
  if (!PathExists(path)) {
    Explain("no such file");
    return false;
  }
  picture = LoadImageFromFile(path);
  if (!picture) {
    Explain("not enough memory");
    return false;
  }

  const PictureKind kind = picture->Kind();  // None: did not decode, no mask
  if (kind == PictureKind::Bmp) {
    mask = PathExists(maskName) ? LoadImageFromFile(maskName) : AllOpaqueMask(*picture);
  } else if (kind == PictureKind::Gif) {
    mask = MaskFromAlpha(*picture);
  }
  return true;
}

}  // namespace tessarel
