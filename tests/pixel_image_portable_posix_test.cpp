// The in-memory image layer keeps plain 24-bit BMP files as read instead of
// decoding them; what it shows must be what the decoder would have given.
#include <gtest/gtest.h>

#include "imaging/bmp_codec.h"
#include "imaging/pixel_image.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

void ExpectSameAsDecoder(const std::string& path) {
  SCOPED_TRACE(path);
  const std::vector<std::uint8_t> bytes = testing::ReadBytes(path);
  DecodedBitmap decoded;
  ASSERT_TRUE(DecodeBmp(bytes, decoded));
  PixelImagePtr image = LoadImageFromFile(path);
  ASSERT_EQ(image->Width(), decoded.width);
  ASSERT_EQ(image->Height(), decoded.height);
  std::vector<std::uint32_t> row(decoded.width);
  for (std::uint32_t y = 0; y < decoded.height; ++y) {
    ASSERT_EQ(image->GetRow(std::int32_t(y), row), decoded.width);
    for (std::uint32_t x = 0; x < decoded.width; ++x) {
      ASSERT_EQ(row[x], decoded.argb[y * decoded.width + x] | 0xFF000000u) << x << "," << y;
    }
  }
}

TEST(PlainBmpFiles, ShowWhatTheDecoderShows) {
  testing::TempDir dir;
  std::vector<std::uint32_t> argb;
  for (std::uint32_t i = 0; i < 7 * 3; ++i) argb.push_back(0xFF000000u | i * 0x0B0705u);
  std::vector<std::uint8_t> file;
  ASSERT_TRUE(EncodeBmp(7, 3, 24, argb, file));
  testing::WriteBytes(dir / "ours.bmp", file);
  // Without the last row's padding the file is no longer plain, and is decoded.
  file.resize(file.size() - 3);
  testing::WriteBytes(dir / "short.bmp", file);
  ExpectSameAsDecoder(dir / "ours.bmp");
  ExpectSameAsDecoder(dir / "short.bmp");

  const std::string data = testing::TestDataDir();
  if (data.empty()) GTEST_SKIP() << "no shared test data";
  for (const char* name : {"g/rgb24.bmp", "g/rgb24pal.bmp", "q/rgb24largepal.bmp",
                           "g/pal8topdown.bmp", "g/rgb32.bmp"}) {
    ExpectSameAsDecoder(data + "/bmpsuite/" + name);
  }
}

}  // namespace
}  // namespace tessarel
