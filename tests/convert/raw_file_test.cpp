#include "convert/raw_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "codec/bmp_codec.h"
#include "codec/raw_codec.h"
#include "convert/bmp_pair.h"
#include "convert/picture_source.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

// A W x H RAW file with a colour ramp; pixel i is transparent when i % 3 == 0.
std::vector<std::uint8_t> MakeRaw(int w, int h) {
  std::vector<RawPixel> colour, mask;
  for (int i = 0; i < w * h; ++i) {
    colour.push_back(std::uint32_t(i * 7 % 256) | std::uint32_t(i * 13 % 256) << 8 |
                     std::uint32_t(i * 29 % 256) << 16);
    mask.push_back(i % 3 == 0 ? 0 : 0x00FFFFFF);
  }
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(PackRaw(colour, mask, w, h, bytes));
  return bytes;
}

TEST(LoadRawFile, ReadsPictureAndMaskFromA23x23File) {
  testing::TempDir dir;
  const std::vector<std::uint8_t> bytes = MakeRaw(23, 23);
  ASSERT_EQ(bytes.size(), 1126u);
  testing::WriteBytes(dir / "1(23x23).raw", bytes);
  PixelImagePtr picture, mask;
  ASSERT_TRUE(LoadRawFile(dir / "1(23x23).raw", "(@wx@h)", picture, mask));
  ASSERT_EQ(picture->Width(), 23u);
  ASSERT_EQ(mask->Height(), 23u);
  for (int i = 0; i < 23 * 23; ++i) {
    const int x = i % 23, y = i / 23;
    const std::uint32_t v = std::uint32_t(bytes[2 * i]) << 8 | bytes[2 * i + 1];
    const std::uint32_t want =
        0xFF000000u | ((v >> 11) << 3) << 16 | (((v >> 5) & 63) << 2) << 8 | ((v & 31) << 3);
    std::uint32_t p = 0, m = 0;
    ASSERT_TRUE(picture->GetPixel(x, y, p));
    ASSERT_TRUE(mask->GetPixel(x, y, m));
    EXPECT_EQ(p, want) << i;
    const bool transparent = bytes[1058 + i / 8] & (0x80 >> (i % 8));
    EXPECT_EQ(m, transparent ? 0xFF000000u : 0xFFFFFFFFu) << i;
    EXPECT_EQ(transparent, i % 3 == 0);
  }
}

TEST(LoadRawFile, RefusesWhatCannotBeAPicture) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir / "x(4x4)");
  struct Case {
    const char* what;
    std::string name;
    std::vector<std::uint8_t> bytes;  // empty: the file is not created
    bool loads;
  };
  std::vector<std::uint8_t> shortBy1 = MakeRaw(4, 4);
  shortBy1.resize(33);
  std::vector<std::uint8_t> trailing = MakeRaw(4, 4);
  trailing.resize(100, 0xEE);
  const Case cases[] = {
      {"no delimiters in the name", "pic.raw", MakeRaw(4, 4), false},
      {"a size in the directory only", "x(4x4)/pic.raw", MakeRaw(4, 4), false},
      {"shorter than both planes", "a(4x4).raw", shortBy1, false},
      {"parity byte missing is fine", "b(4x4).raw", std::vector<std::uint8_t>(34, 0), true},
      {"trailing bytes are ignored", "c(4x4).raw", trailing, true},
      {"zero width", "d(0x4).raw", MakeRaw(4, 4), false},
      {"no numbers", "e(x).raw", MakeRaw(4, 4), false},
      {"negative height", "f(4x-4).raw", MakeRaw(4, 4), false},
      {"huge size, small file", "g(2147483647x2147483647).raw", MakeRaw(4, 4), false},
      {"missing file", "h(4x4).raw", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.bytes.empty()) testing::WriteBytes(dir / c.name, c.bytes);
    PixelImagePtr picture, mask;
    EXPECT_EQ(LoadRawFile(dir / c.name, "(@wx@h)", picture, mask), c.loads);
  }
  PixelImagePtr picture = CreateBlankImage(1, 1, PixelFormat24bppRGB), mask;
  EXPECT_FALSE(LoadRawFile(dir / "b(4x4).raw", "(@wx@h)", picture, mask));
}

TEST(RawOutputPath, NameAlwaysTellsTheTrueSize) {
  struct Case {
    std::string outPath, mask;
    int w, h;
    std::string want;
  };
  const Case cases[] = {
      {"out/pic.bmp", "(@wx@h)", 40, 30, "out/pic(40x30).raw"},
      {"out/pic(40x30).bmp", "(@wx@h)", 40, 30, "out/pic(40x30).raw"},
      {"out/box.bmp", "(@wx@h)", 40, 30, "out/box(40x30).raw"},
      {"out/pic(10x10).bmp", "(@wx@h)", 40, 30, "out/pic(10x10)(40x30).raw"},
      // Letters of the directory never count, and its dots never end the base.
      {"c:/xyz/pic.bmp", "(@wx@h)", 4, 3, "c:/xyz/pic(4x3).raw"},
      {"c:/(4x3)/pic.bmp", "(@wx@h)", 4, 3, "c:/(4x3)/pic(4x3).raw"},
      {"c:/a.b/pic", "(@wx@h)", 4, 3, "c:/a.b/pic(4x3).raw"},
      {"pic.tar.gif", "(@wx@h)", 4, 3, "pic.tar(4x3).raw"},
      {"a[4,3].bmp", "[@w,@h]", 4, 3, "a[4,3].raw"},
      {"a.bmp", "", 4, 3, "a(4x3).raw"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RawOutputPath(c.outPath, c.w, c.h, c.mask), c.want) << c.outPath;
  }
}

TEST(SaveRawFile, WritesWhatLoadsBack) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "src(5x3).raw", MakeRaw(5, 3));
  PixelImagePtr picture, mask;
  ASSERT_TRUE(LoadRawFile(dir / "src(5x3).raw", "(@wx@h)", picture, mask));
  ASSERT_TRUE(SaveRawFile(dir / "copy.bmp", picture.get(), mask.get(), "(@wx@h)"));
  EXPECT_EQ(testing::ReadBytes(dir / "copy(5x3).raw"), MakeRaw(5, 3));
}

TEST(SaveRawFile, SmallerMaskRepeatsItsLastPixel) {
  testing::TempDir dir;
  PixelImagePtr picture = CreateBlankImage(3, 2, PixelFormat24bppRGB);
  PixelImagePtr mask = CreateBlankImage(2, 1, PixelFormat24bppRGB);
  mask->SetPixel(0, 0, 0xFFFFFFFF);
  mask->SetPixel(1, 0, 0xFF000000);  // transparent, and the last one read
  ASSERT_TRUE(SaveRawFile(dir / "m.bmp", picture.get(), mask.get(), "(@wx@h)"));
  const std::vector<std::uint8_t> bytes = testing::ReadBytes(dir / "m(3x2).raw");
  ASSERT_EQ(bytes.size(), 14u);
  EXPECT_EQ(bytes[12], 0x7C);  // pixel 0 opaque, pixels 1..5 transparent
}

// Pictures larger than the pieces they are read and written in, both ways:
// RAW -> BMP pair must give the expected pixels, and the pair -> RAW the
// original bytes, whether the mask plane is made beside the colour plane
// or after it (one image passed as both).
TEST(SaveRawFile, BigPicturesConvertExactlyBothWays) {
  testing::TempDir dir;
  const int w = 1001, h = 2200;  // several bands of each plane; rows not whole bytes
  const std::vector<std::uint8_t> raw = MakeRaw(w, h);
  testing::WriteBytes(dir / "big(1001x2200).raw", raw);
  PixelImagePtr picture, mask;
  ASSERT_TRUE(LoadRawFile(dir / "big(1001x2200).raw", "(@wx@h)", picture, mask));
  ASSERT_TRUE(SaveBmpPair(dir / "big(1001x2200).raw", picture.get(), mask.get()));

  std::vector<RawPixel> colour, transparency;
  ASSERT_TRUE(UnpackRaw(raw, w, h, colour, transparency));
  DecodedBitmap savedPicture, savedMask;
  ASSERT_TRUE(DecodeBmp(testing::ReadBytes(dir / "big(1001x2200).bmp"), savedPicture));
  ASSERT_TRUE(DecodeBmp(testing::ReadBytes(dir / "big(1001x2200)_mask.bmp"), savedMask));
  ASSERT_EQ(savedPicture.argb.size(), colour.size());
  ASSERT_EQ(savedMask.argb.size(), colour.size());
  for (std::size_t i = 0; i < colour.size(); ++i) {
    const RawPixel c = colour[i];
    ASSERT_EQ(savedPicture.argb[i] & 0xFFFFFF, (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16)) << i;
    ASSERT_EQ(savedMask.argb[i] & 0xFFFFFF, transparency[i] == 0 ? 0u : 0xFFFFFFu) << i;
  }

  PixelImagePtr bmpPicture, bmpMask;
  ASSERT_TRUE(LoadSourceImage(dir / "big(1001x2200).bmp", bmpPicture, bmpMask));
  ASSERT_TRUE(SaveRawFile(dir / "back.bmp", bmpPicture.get(), bmpMask.get(), "(@wx@h)"));
  EXPECT_EQ(testing::ReadBytes(dir / "back(1001x2200).raw"), raw);
  ASSERT_TRUE(SaveRawFile(dir / "mask.bmp", bmpMask.get(), bmpMask.get(), "(@wx@h)"));
  ASSERT_TRUE(SaveRawFile(dir / "ref.bmp", bmpMask.get(),
                          LoadImageFromFile(dir / "big(1001x2200)_mask.bmp").get(), "(@wx@h)"));
  EXPECT_EQ(testing::ReadBytes(dir / "mask(1001x2200).raw"),
            testing::ReadBytes(dir / "ref(1001x2200).raw"));
}

TEST(SaveRawFile, FailsWithoutWriting) {
  testing::TempDir dir;
  PixelImagePtr picture = CreateBlankImage(2, 2, PixelFormat24bppRGB);
  PixelImagePtr mask = CreateBlankImage(2, 2, PixelFormat24bppRGB);
  EXPECT_FALSE(SaveRawFile(dir / "a.bmp", picture.get(), nullptr, "(@wx@h)"));
  EXPECT_FALSE(SaveRawFile(dir / "a.bmp", nullptr, mask.get(), "(@wx@h)"));
  EXPECT_FALSE(SaveRawFile(dir / "missing/a.bmp", picture.get(), mask.get(), "(@wx@h)"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  // Never over the conversion's own input.
  testing::WriteBytes(dir / "in(2x2).raw", {1, 2, 3});
  ProtectedFiles protect;
  protect.SetInput(dir / "in(2x2).raw");
  EXPECT_FALSE(SaveRawFile(dir / "in(2x2).gif", picture.get(), mask.get(), "(@wx@h)", &protect));
  EXPECT_EQ(testing::ReadBytes(dir / "in(2x2).raw"), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace tessarel
