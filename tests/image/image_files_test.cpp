// Pictures written by other programs, loaded through the platform's image
// layer (our codecs, or GDI+ on Windows), show the pixels an independent
// decoder shows.
#include <gtest/gtest.h>

#include "codec/codec_tables.h"
#include "image/pixel_image.h"

namespace tessarel {
namespace {

bool LoadPixels(const std::string& path, DecodedBitmap& out) {
  const PixelImagePtr image = LoadImageFromFile(path);
  if (!image || image->native == nullptr) return false;
  out.width = image->Width();
  out.height = image->Height();
  out.hasAlpha = true;  // the layer reads alpha where the file has it
  out.argb.assign(std::size_t(out.width) * out.height, 0);
  for (std::uint32_t y = 0; y < out.height; ++y) {
    const std::span row = std::span(out.argb).subspan(std::size_t(y) * out.width, out.width);
    if (image->GetRow(std::int32_t(y), row) != out.width) return false;
  }
  return true;
}

TEST(ImageFiles, ProducersFilesLoadAsAnotherDecoderShowsThem) {
  const ImagingSession session;
  testing::CheckDecoderTable("producers_manifest.txt", LoadPixels);
}

}  // namespace
}  // namespace tessarel
