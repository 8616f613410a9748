// Our GIF path (giflib); on Windows the platform decodes GIF itself.
#include <gtest/gtest.h>

#include <filesystem>

#include "image/pixel_image.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

// Real GIF files made by other programs, hostile ones among them: each loads
// or is refused, and the decompression bombs are refused.
TEST(LoadImageFromFile, ThirdPartyGifsLoadOrAreRefused) {
  const std::string data = testing::TestDataDir();
  if (data.empty()) GTEST_SKIP() << "no shared test data";
  int loaded = 0;
  for (const auto& entry : std::filesystem::directory_iterator(data + "/gif")) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    PixelImagePtr image = LoadImageFromFile(entry.path().string());
    ASSERT_TRUE(image);
    Guid format;
    if (!image->RawFormat(format)) continue;
    ++loaded;
    EXPECT_EQ(format, ImageFormatGIF);
    EXPECT_GT(image->Width(), 0u);
    EXPECT_NE(name, "decompression_bomb.gif");
  }
  EXPECT_GE(loaded, 30);
}

}  // namespace
}  // namespace tessarel
