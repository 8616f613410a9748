// The image layer reads plain 24-bit BMP files, and RAW files, row by row
// as they are asked for instead of decoding them whole: what it shows must be
// what the decoder would have given, and a file that shrinks meanwhile must
// fail cleanly.
#include <gtest/gtest.h>

#include <filesystem>

#include "codec/bmp_codec.h"
#include "convert/bmp_pair.h"
#include "convert/raw_file.h"
#include "image/pixel_image.h"
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

TEST(FilesReadRowByRow, ShrinkingUnderneathFailsCleanly) {
  testing::TempDir dir;
  const std::uint32_t w = 300, h = 1000;  // several bands
  std::vector<std::uint32_t> argb(w * h, 0xFF204060u);
  std::vector<std::uint8_t> file;
  ASSERT_TRUE(EncodeBmp(w, h, 24, argb, file));
  testing::WriteBytes(dir / "plain.bmp", file);
  testing::WriteBytes(dir / "pic(300x1000).raw", std::vector<std::uint8_t>(w * h * 2 + w * h / 8));

  PixelImagePtr bmp = LoadImageFromFile(dir / "plain.bmp");
  PixelImagePtr picture, mask;
  ASSERT_TRUE(LoadRawFile(dir / "pic(300x1000).raw", "(@wx@h)", picture, mask));
  std::filesystem::resize_file(dir / "plain.bmp", file.size() / 2);
  std::filesystem::resize_file(dir / "pic(300x1000).raw", w * h);

  // The bottom rows still there read; the top rows, at the file's end, fail.
  std::vector<std::uint32_t> row(w);
  EXPECT_EQ(bmp->GetRow(std::int32_t(h) - 1, row), w);
  EXPECT_EQ(row[0], 0xFF204060u);
  EXPECT_EQ(bmp->GetRow(0, row), 0u);
  std::uint32_t pixel = 7;
  EXPECT_FALSE(bmp->GetPixel(5, 0, pixel));
  EXPECT_EQ(pixel, 7u);
  Guid encoder;
  ASSERT_TRUE(FindEncoderClsid("image/bmp", encoder));
  EXPECT_FALSE(bmp->Save(dir / "copy.bmp", encoder));
  EXPECT_FALSE(SaveBmpPair(dir / "pic.raw", picture.get(), mask.get()));
  // Converted to RAW, the rows it lost would repeat the last pixel read.
  EXPECT_FALSE(SaveRawFile(dir / "b.bmp", bmp.get(), bmp.get(), "(@wx@h)"));
  EXPECT_FALSE(testing::FileExists(dir / "copy.bmp"));
  EXPECT_FALSE(testing::FileExists(dir / "pic.bmp"));
  EXPECT_FALSE(testing::FileExists(dir / "pic_mask.bmp"));
  EXPECT_FALSE(testing::FileExists(dir / "b(300x1000).raw"));
}

}  // namespace
}  // namespace tessarel
