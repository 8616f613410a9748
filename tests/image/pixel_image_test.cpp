#include "image/pixel_image.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "convert/bmp_pair.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

Guid BmpEncoder() {
  Guid clsid;
  EXPECT_TRUE(FindEncoderClsid("image/bmp", clsid));
  return clsid;
}

// Every operation on an object without a native image fails, changes nothing
// and leaves a failure status behind.
void ExpectInert(PixelImage& image, const std::string& saveTo) {
  EXPECT_EQ(image.native, nullptr);
  EXPECT_NE(image.lastStatus, ImageStatus::Ok);
  EXPECT_EQ(image.Width(), 0u);
  EXPECT_EQ(image.Height(), 0u);
  Guid format;
  EXPECT_FALSE(image.RawFormat(format));
  std::uint32_t argb = 0x12345678;
  EXPECT_FALSE(image.GetPixel(0, 0, argb));
  EXPECT_EQ(argb, 0x12345678u);
  EXPECT_FALSE(image.SetPixel(0, 0, 0xFFFFFFFF));
  EXPECT_FALSE(image.Save(saveTo, BmpEncoder()));
  EXPECT_FALSE(testing::FileExists(saveTo));
  EXPECT_NE(image.lastStatus, ImageStatus::Ok);
}

TEST(PixelImage, ObjectsWithoutNativeImageAreInert) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "notes.txt", {'h', 'e', 'l', 'l', 'o'});
  testing::WriteBytes(dir / "fake.png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0});
  struct Case {
    const char* what;
    PixelImagePtr image;
  };
  Case cases[] = {
      {"zero width", CreateBlankImage(0, 5, PixelFormat24bppRGB)},
      {"zero height", CreateBlankImage(5, 0, PixelFormat32bppARGB)},
      {"negative size", CreateBlankImage(-4, 4, PixelFormat24bppRGB)},
      {"missing file", LoadImageFromFile(dir / "missing.bmp")},
      {"directory", LoadImageFromFile(dir.path().string())},
      {"text file", LoadImageFromFile(dir / "notes.txt")},
      {"png", LoadImageFromFile(dir / "fake.png")},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(c.image);
    ExpectInert(*c.image, dir / "out.bmp");
  }
}

// An image made from rows is a blank image with those rows set: the same
// pixels, the same saved file, and writable like any other.
TEST(PixelImage, ImagesFromRowsAreBlankImagesWithTheRowsSet) {
  testing::TempDir dir;
  const auto value = [](std::uint32_t x, std::uint32_t y) {
    return (0x00FFFFFFu & (x * 0x1F0D07u + y * 0x0B0503u)) | (x % 3 == 0 ? 0x80000000u : 0);
  };
  for (PixelFormat format : {PixelFormat24bppRGB, PixelFormat32bppARGB}) {
    for (std::int32_t width : {1, 2, 3, 4, 5, 7, 9}) {
      SCOPED_TRACE(::testing::Message() << "format " << format << " width " << width);
      const std::int32_t height = 3;
      PixelImagePtr rows = CreateImageFromRows(width, height, format,
                                               [&](std::uint32_t y, std::span<std::uint32_t> row) {
                                                 EXPECT_EQ(row.size(), std::size_t(width));
                                                 for (std::uint32_t x = 0; x < row.size(); ++x)
                                                   row[x] = value(x, y);
                                                 return true;
                                               });
      PixelImagePtr blank = CreateBlankImage(width, height, format);
      for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) blank->SetPixel(x, y, value(x, y));
      }
      for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
          std::uint32_t a = 1, b = 2;
          ASSERT_TRUE(rows->GetPixel(x, y, a));
          ASSERT_TRUE(blank->GetPixel(x, y, b));
          EXPECT_EQ(a, b) << x << "," << y;
        }
      }
      ASSERT_TRUE(rows->Save(dir / "rows.bmp", BmpEncoder()));
      ASSERT_TRUE(blank->Save(dir / "blank.bmp", BmpEncoder()));
      EXPECT_EQ(testing::ReadBytes(dir / "rows.bmp"), testing::ReadBytes(dir / "blank.bmp"));

      // Writing keeps every other pixel.
      ASSERT_TRUE(rows->SetPixel(width - 1, 1, 0xFF123456u));
      ASSERT_TRUE(blank->SetPixel(width - 1, 1, 0xFF123456u));
      ASSERT_TRUE(rows->Save(dir / "rows.bmp", BmpEncoder()));
      ASSERT_TRUE(blank->Save(dir / "blank.bmp", BmpEncoder()));
      EXPECT_EQ(testing::ReadBytes(dir / "rows.bmp"), testing::ReadBytes(dir / "blank.bmp"));
    }
  }
  // Sizes are refused as for blank images; so is a missing source.
  const RowSource any = [](std::uint32_t, std::span<std::uint32_t>) { return true; };
  EXPECT_EQ(CreateImageFromRows(0, 3, PixelFormat24bppRGB, any)->native, nullptr);
  EXPECT_EQ(CreateImageFromRows(3, -1, PixelFormat24bppRGB, any)->native, nullptr);
  EXPECT_EQ(CreateImageFromRows(3, 3, PixelFormat24bppRGB, nullptr)->native, nullptr);
}

TEST(PixelImage, PixelsOutsideTheImageFail) {
  PixelImagePtr image = CreateBlankImage(3, 2, PixelFormat24bppRGB);
  ASSERT_TRUE(image && image->native);
  EXPECT_EQ(image->lastStatus, ImageStatus::Ok);
  const int outside[][2] = {{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {3, 2}, {INT32_MIN, INT32_MAX}};
  for (const auto& xy : outside) {
    std::uint32_t argb = 7;
    EXPECT_FALSE(image->GetPixel(xy[0], xy[1], argb));
    EXPECT_EQ(argb, 7u);
    EXPECT_FALSE(image->SetPixel(xy[0], xy[1], 0));
  }
  EXPECT_NE(image->lastStatus, ImageStatus::Ok);
  // The object stays usable after failed calls.
  EXPECT_TRUE(image->SetPixel(2, 1, 0xFF102030));
  std::uint32_t argb = 0;
  EXPECT_TRUE(image->GetPixel(2, 1, argb));
  EXPECT_EQ(argb, 0xFF102030u);
}

TEST(PixelImage, BlankImagesStartAsZeroBits) {
  struct Case {
    PixelFormat format;
    std::uint32_t want;
  };
  for (const Case& c : {Case{PixelFormat24bppRGB, 0xFF000000u}, Case{PixelFormat32bppARGB, 0u}}) {
    PixelImagePtr image = CreateBlankImage(2, 2, c.format);
    std::uint32_t argb = 1;
    ASSERT_TRUE(image->GetPixel(1, 1, argb));
    EXPECT_EQ(argb, c.want);
  }
}

TEST(PixelImage, BmpSaveAndLoadKeepsEveryPixel) {
  testing::TempDir dir;
  for (int width : {1, 2, 3, 4, 5, 17}) {
    SCOPED_TRACE(width);
    const int height = 3;
    PixelImagePtr image = CreateBlankImage(width, height, PixelFormat24bppRGB);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        image->SetPixel(x, y,
                        0xFF000000u | std::uint32_t(x * 40 + y) << 16 | std::uint32_t(y * 90) << 8 |
                            std::uint32_t(255 - x));
      }
    }
    std::string name = std::to_string(width);
    name += ".bmp";
    const std::string path = dir / name;
    ASSERT_TRUE(image->Save(path, BmpEncoder()));
    PixelImagePtr back = LoadImageFromFile(path);
    Guid format;
    ASSERT_TRUE(back->RawFormat(format));
    EXPECT_EQ(format, ImageFormatBMP);
    ASSERT_EQ(back->Width(), std::uint32_t(width));
    ASSERT_EQ(back->Height(), std::uint32_t(height));
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        std::uint32_t a = 0, b = 0;
        image->GetPixel(x, y, a);
        back->GetPixel(x, y, b);
        EXPECT_EQ(a, b) << x << "," << y;
      }
    }
  }
}

TEST(PixelImage, FailedSaveLeavesTheOldFileAndNoLitter) {
  testing::TempDir dir;
  PixelImagePtr image = CreateBlankImage(2, 2, PixelFormat24bppRGB);
  // Saving onto a directory fails without touching it or leaving temporaries.
  std::filesystem::create_directory(dir / "taken.bmp");
  EXPECT_FALSE(image->Save(dir / "taken.bmp", BmpEncoder()));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.bmp"));
  EXPECT_FALSE(image->Save(dir / "no/such/dir/a.bmp", BmpEncoder()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  Guid unknown{1, 2, 3, {4}};
  EXPECT_FALSE(image->Save(dir / "a.bmp", unknown));
}

// The row calls are the per-pixel calls in bulk: same values, same failures,
// on every kind of image the layer holds.
TEST(PixelImage, RowsBehaveExactlyLikePixelByPixel) {
  testing::TempDir dir;
  auto fill = [](PixelImage& image) {
    for (std::int32_t y = 0; y < 3; ++y) {
      for (std::int32_t x = 0; x < 5; ++x)
        image.SetPixel(x, y, 0xFF000000u | std::uint32_t(y * 5 + x) * 0x010305u);
    }
  };
  PixelImagePtr saved = CreateBlankImage(5, 3, PixelFormat24bppRGB);
  fill(*saved);
  ASSERT_TRUE(saved->Save(dir / "five.bmp", BmpEncoder()));
  auto make = [&](int kind) {
    switch (kind) {
      case 0:
        return CreateBlankImage(5, 3, PixelFormat24bppRGB);
      case 1:
        return CreateBlankImage(5, 3, PixelFormat32bppARGB);
      case 2:
        return LoadImageFromFile(dir / "five.bmp");
      case 3:
        return CreateImageFromRows(5, 3, PixelFormat24bppRGB,
                                   [](std::uint32_t y, std::span<std::uint32_t> row) {
                                     for (std::uint32_t x = 0; x < row.size(); ++x)
                                       row[x] = (y * 5 + x) * 0x010305u;  // alpha 0: still opaque
                                     return true;
                                   });
      default:
        return CreateBlankImage(0, 0, PixelFormat24bppRGB);
    }
  };
  for (int kind = 0; kind < 5; ++kind) {
    for (std::int32_t y : {-1, 0, 2, 3}) {
      for (std::size_t length : {0, 1, 4, 5, 8}) {
        SCOPED_TRACE(::testing::Message() << "kind " << kind << " y " << y << " n " << length);
        PixelImagePtr a = make(kind), b = make(kind);
        if (kind < 2) {
          fill(*a);
          fill(*b);
        }
        std::vector<std::uint32_t> row(length, 0xDEADBEEF), single(length, 0xDEADBEEF);
        const std::size_t read = a->GetRow(y, row);
        std::size_t readSingly = 0;
        while (readSingly < length &&
               b->GetPixel(std::int32_t(readSingly), y, single[readSingly])) {
          ++readSingly;
        }
        EXPECT_EQ(read, readSingly);
        EXPECT_EQ(row, single);
        EXPECT_EQ(a->lastStatus == ImageStatus::Ok, b->lastStatus == ImageStatus::Ok);

        std::vector<std::uint32_t> values(length);
        for (std::size_t x = 0; x < length; ++x)
          values[x] = 0x80402010u + std::uint32_t(x) * 0x01010101u;
        a->SetRow(y, values);
        for (std::size_t x = 0; x < length; ++x) b->SetPixel(std::int32_t(x), y, values[x]);
        for (std::int32_t yy = 0; yy < 3; ++yy) {
          for (std::int32_t x = 0; x < 5; ++x) {
            std::uint32_t pa = 1, pb = 1;
            EXPECT_EQ(a->GetPixel(x, yy, pa), b->GetPixel(x, yy, pb));
            EXPECT_EQ(pa, pb) << x << "," << yy;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessarel
