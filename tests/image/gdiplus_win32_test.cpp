// GDI+ as the image layer under the tests: started once for the whole test
// program, as the tool starts it once per run (Windows' GDI+ refuses every
// call before GdiplusStartup; Wine's does not, so only Windows would notice).
#include <gtest/gtest.h>

#include <memory>

#include "convert/bmp_pair.h"
#include "image/pixel_image.h"
#include "platform/directory.h"
#include "platform/file_io.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

class ImagingEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { session_ = std::make_unique<ImagingSession>(); }
  void TearDown() override { session_.reset(); }

 private:
  std::unique_ptr<ImagingSession> session_;
};

[[maybe_unused]] ::testing::Environment* const kImaging =
    ::testing::AddGlobalTestEnvironment(new ImagingEnvironment);

TEST(GdiplusPaths, NonAsciiNamesNameOneFileForEveryLayer) {
  testing::TempDir dir;
  // 0x80 is the euro sign in the usual ANSI code page, but U+0080 if the
  // bytes were merely widened: GDI+ would then read or write another file
  // than the one the *A functions see.
  const std::string name = "caf\xE9\x80.bmp";
  const std::string path = dir.path().string() + "\\" + name;
  PixelImagePtr image = CreateBlankImage(2, 2, PixelFormat24bppRGB);
  Guid encoder;
  ASSERT_TRUE(FindEncoderClsid("image/bmp", encoder));
  ASSERT_TRUE(image->Save(path, encoder));
  EXPECT_TRUE(PathExists(path));
  ReadOnlyFile file;
  std::vector<std::uint8_t> magic(2);
  ASSERT_TRUE(file.Open(path));
  ASSERT_TRUE(file.ReadAt(0, magic));
  EXPECT_EQ(std::string(magic.begin(), magic.end()), "BM");
  EXPECT_EQ(FindMatchingNames(dir.path().string() + "\\*.bmp"), std::vector<std::string>{name});
  Guid format;
  PixelImagePtr back = LoadImageFromFile(path);
  ASSERT_TRUE(back->RawFormat(format));
  EXPECT_EQ(format, ImageFormatBMP);
}

}  // namespace
}  // namespace tessarel
