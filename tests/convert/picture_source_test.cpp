#include "convert/picture_source.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "convert/bmp_pair.h"
#include "convert/raw_file.h"
#include "platform/path_names.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

// 4 x 3, red, with (2,1) green and (1,0), (3,2) the transparent index 2 whose
// palette colour is 0x123456 (made by ImageMagick, palette entry 2 edited).
const std::vector<std::uint8_t> kTransparentGif = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x03, 0x00, 0xf1, 0x00, 0x00,
    0xff, 0x00, 0x00, 0x00, 0xff, 0x00, 0x12, 0x34, 0x56, 0x00, 0x00, 0x00, 0x21,
    0xf9, 0x04, 0x01, 0x00, 0x00, 0x02, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x04,
    0x00, 0x03, 0x00, 0x00, 0x02, 0x05, 0x84, 0x80, 0x10, 0x69, 0x05, 0x00, 0x3b};

// 2 x 9 grey ramp, stored interlaced; row r is grey kInterlacedRows[r].
const std::vector<std::uint8_t> kInterlacedGif = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x02, 0x00, 0x09, 0x00, 0xf3, 0x08, 0x00, 0x00, 0x00, 0x00,
    0x20, 0x20, 0x20, 0x40, 0x40, 0x40, 0x60, 0x60, 0x60, 0x80, 0x80, 0x80, 0x9f, 0x9f, 0x9f, 0xbf,
    0xbf, 0xbf, 0xdf, 0xdf, 0xdf, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x21, 0xf9, 0x04,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x09, 0x00, 0x40, 0x04,
    0x0d, 0x10, 0x21, 0x00, 0x08, 0x31, 0x46, 0x88, 0x73, 0x4a, 0x19, 0x43, 0x10, 0x44, 0x00, 0x3b};
const std::uint8_t kInterlacedRows[] = {0xff, 0xdf, 0xbf, 0x9f, 0x80, 0x60, 0x40, 0x20, 0x00};

void SaveBmp(const std::string& path, int w, int h, const std::vector<std::uint32_t>& argb) {
  PixelImagePtr image = CreateBlankImage(w, h, PixelFormat24bppRGB);
  for (int i = 0; i < w * h; ++i) image->SetPixel(i % w, i / w, argb[std::size_t(i)]);
  Guid bmp;
  ASSERT_TRUE(FindEncoderClsid("image/bmp", bmp));
  ASSERT_TRUE(image->Save(path, bmp));
}

// The transparency bits of the RAW file that a loaded source converts to.
std::vector<bool> TransparencyAfterConversion(const std::string& source, int pixels) {
  PixelImagePtr picture, mask;
  EXPECT_TRUE(LoadSourceImage(source, picture, mask));
  const std::string out = source + ".out";
  EXPECT_TRUE(SaveRawFile(out, picture.get(), mask.get(), "(@wx@h)"));
  const std::uint32_t w = picture->Width(), h = picture->Height();
  const std::vector<std::uint8_t> bytes =
      testing::ReadBytes(RawOutputPath(out, std::int32_t(w), std::int32_t(h), "(@wx@h)"));
  std::vector<bool> bits;
  for (int i = 0; i < pixels && 2 * pixels + i / 8 < int(bytes.size()); ++i) {
    bits.push_back(bytes[std::size_t(2 * pixels + i / 8)] & (0x80 >> (i % 8)));
  }
  return bits;
}

TEST(LoadSourceImage, BmpMaskComesFromTheCompanionFile) {
  testing::TempDir dir;
  const std::vector<std::uint32_t> grey(4, 0xFF808080);
  SaveBmp(dir / "plain.bmp", 2, 2, grey);
  SaveBmp(dir / "masked.bmp", 2, 2, grey);
  // Only pure black is transparent; a very dark grey is opaque.
  SaveBmp(dir / "masked_mask.bmp", 2, 2, {0xFF000000, 0xFF010101, 0xFFFFFFFF, 0xFF000000});
  SaveBmp(dir / "broken.bmp", 2, 2, grey);
  testing::WriteBytes(dir / "broken_mask.bmp", {'B', 'M', 1, 2, 3});
  struct Case {
    const char* name;
    std::vector<bool> transparent;
  };
  const Case cases[] = {
      {"plain.bmp", {false, false, false, false}},
      {"masked.bmp", {true, false, false, true}},
      // An undecodable mask cannot be read: every pixel falls back to black.
      {"broken.bmp", {true, true, true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TransparencyAfterConversion(dir / c.name, 4), c.transparent);
  }
}

TEST(LoadSourceImage, GifTransparentIndexBecomesTheMask) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "t.gif", kTransparentGif);
  PixelImagePtr picture, mask;
  ASSERT_TRUE(LoadSourceImage(dir / "t.gif", picture, mask));
  ASSERT_TRUE(mask);
  Guid format;
  ASSERT_TRUE(picture->RawFormat(format));
  EXPECT_EQ(format, ImageFormatGIF);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool transparent = (x == 1 && y == 0) || (x == 3 && y == 2);
      std::uint32_t p = 0, m = 0;
      ASSERT_TRUE(picture->GetPixel(x, y, p));
      ASSERT_TRUE(mask->GetPixel(x, y, m));
      EXPECT_EQ(m, transparent ? 0xFF000000u : 0xFFFFFFFFu) << x << "," << y;
      if (transparent) {
        EXPECT_LT(p >> 24, 0xFFu);
        EXPECT_EQ(p & 0xFFFFFF, 0x123456u);
      } else {
        EXPECT_EQ(p, x == 2 && y == 1 ? 0xFF00FF00u : 0xFFFF0000u);
      }
    }
  }
}

TEST(LoadSourceImage, InterlacedGifRowsLandInPlace) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "i.gif", kInterlacedGif);
  PixelImagePtr picture, mask;
  ASSERT_TRUE(LoadSourceImage(dir / "i.gif", picture, mask));
  for (int y = 0; y < 9; ++y) {
    std::uint32_t p = 0;
    ASSERT_TRUE(picture->GetPixel(1, y, p));
    EXPECT_EQ(p & 0xFF, kInterlacedRows[y]) << y;
  }
}

TEST(LoadSourceImage, FormatComesFromContentNotName) {
  testing::TempDir dir;
  SaveBmp(dir / "really_a_bmp.gif", 1, 1, {0xFFFFFFFF});
  testing::WriteBytes(dir / "really_a_gif.bmp", kTransparentGif);
  testing::WriteBytes(dir / "pic.png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13});
  struct Case {
    const char* name;
    bool decodes;
    Guid format;
  };
  const Case cases[] = {{"really_a_bmp.gif", true, ImageFormatBMP},
                        {"really_a_gif.bmp", true, ImageFormatGIF},
                        {"pic.png", false, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PixelImagePtr picture, mask;
    ASSERT_TRUE(LoadSourceImage(dir / c.name, picture, mask));
    ASSERT_TRUE(picture);
    Guid format;
    EXPECT_EQ(picture->RawFormat(format), c.decodes);
    if (c.decodes) {
      EXPECT_EQ(format, c.format);
    }
    EXPECT_EQ(mask != nullptr, c.decodes);
  }
  PixelImagePtr picture, mask;
  EXPECT_FALSE(LoadSourceImage(dir / "missing.bmp", picture, mask));
  EXPECT_FALSE(picture);
}

TEST(PathNames, DerivedNamesStayBesideTheirFile) {
  struct Case {
    const char* path;
    const char* base;
  };
  const Case cases[] = {
      {"c:/123/1(23x23).bmp", "c:/123/1(23x23)"},
      {"c:/a.b/pic", "c:/a.b/pic"},
      {"dir.d/pic", "dir.d/pic"},
      {"pic.tar.gz", "pic.tar"},
      {".hidden", ""},
      {"noext", "noext"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BaseOfPath(c.path), c.base) << c.path;
    EXPECT_EQ(CompanionMaskName(c.path), std::string(c.base) + "_mask.bmp") << c.path;
  }
}

}  // namespace
}  // namespace tessarel
