// The image object's contract, on each platform's imaging layer.
#include "image/pixel_image.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "codec/codec_tables.h"
#include "convert/bmp_pair.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

// Every call on an object without a native image fails and does nothing else.
TEST(PixelImage, ObjectsWithoutANativeImageDoNothing) {
  testing::TempDir dir;
  const RowSource rows = [](std::uint32_t, std::span<std::uint32_t>) { return true; };
  std::vector<PixelImagePtr> images;
  for (const auto& file :
       std::filesystem::directory_iterator(TESSAREL_SOURCE_DIR "/tests/data/units/not_pictures")) {
    images.push_back(LoadImageFromFile(file.path().string()));
  }
  for (const std::string& path : {dir / "missing.bmp", dir.path().string()})
    images.push_back(LoadImageFromFile(path));
  images.push_back(CreateBlankImage(0, 5, Channels::Rgb));
  images.push_back(CreateBlankImage(5, -1, Channels::Argb));
  images.push_back(CreateImageFromRows(0, 3, Channels::Rgb, rows));
  images.push_back(CreateImageFromRows(3, 3, Channels::Rgb, nullptr));
  for (std::size_t i = 0; i < images.size(); ++i) {
    PixelImage& image = *images[i];
    std::uint32_t argb = 7;
    std::vector<std::uint32_t> row(2, 7);
    image.SetRow(0, row);
    EXPECT_TRUE(image.native == nullptr && image.Kind() == PictureKind::None) << i;
    EXPECT_EQ(image.Width() + image.Height() + image.GetRow(0, row), 0u) << i;
    EXPECT_FALSE(image.GetPixel(0, 0, argb) || argb != 7 || image.SetPixel(0, 0, 0) ||
                 SaveBmpPair(dir / "out", &image, nullptr) || image.SourceFailed())
        << i;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// An image made from rows is a blank image with those rows set, and the row
// calls are the pixel calls in bulk: the same pixels, failures and files, on
// every kind of image, at every width modulo 4. Pixels outside fail.
TEST(PixelImage, RowsAreThePixelsInBulk) {
  testing::TempDir dir;
  const auto value = [](std::int64_t x, std::int64_t y) {
    return std::uint32_t(x * 0x1F0D07 + y * 0x0B0503) ^ (x % 3 ? 0xFF000000u : 0x80000000u);
  };
  for (const Channels format : {Channels::Rgb, Channels::Argb}) {
    for (std::int32_t w = 1; w <= 9; ++w) {
      SCOPED_TRACE(::testing::Message() << int(format) << " width " << w);
      PixelImagePtr blank = CreateBlankImage(w, 3, format);
      for (std::int32_t i = 0; i < 3 * w; ++i) blank->SetPixel(i % w, i / w, value(i % w, i / w));
      PixelImagePtr rows = CreateImageFromRows(w, 3, format, [&](std::uint32_t y, auto row) {
        for (std::size_t x = 0; x < row.size(); ++x) row[x] = value(std::int64_t(x), y);
        return true;
      });
      const auto sameFiles = [&] {
        return SaveBmpPair(dir / "rows", rows.get(), nullptr) &&
               SaveBmpPair(dir / "blank", blank.get(), nullptr) &&
               testing::ReadBytes(dir / "rows.bmp") == testing::ReadBytes(dir / "blank.bmp");
      };
      EXPECT_TRUE(sameFiles());
      PixelImagePtr loaded = LoadImageFromFile(dir / "blank.bmp");
      // A file read back saves as it reads (32 bits: as 24, read back opaque).
      ASSERT_TRUE(SaveBmpPair(dir / "again", loaded.get(), nullptr));
      PixelImagePtr again = LoadImageFromFile(dir / "again.bmp");
      for (PixelImage* image : {rows.get(), blank.get(), loaded.get(), again.get()}) {
        EXPECT_FALSE(image->SetPixel(w, 0, 0) || image->SetPixel(0, 3, 0) ||
                     image->SetPixel(-1, 0, 0));
        for (std::int32_t y = -1; y <= 3; ++y) {
          for (const std::int32_t n : {0, 1, w, w + 2}) {
            std::vector<std::uint32_t> row(std::size_t(n), 1), single(row), blankRow(row);
            const std::size_t read = image->GetRow(y, row);
            std::size_t x = 0;
            while (x < single.size() && image->GetPixel(std::int32_t(x), y, single[x])) ++x;
            EXPECT_EQ(read, x) << y << " " << n;
            EXPECT_EQ(row, single) << y << " " << n;
            // 24bpp reads back opaque whatever alpha the rows gave; so does a
            // 32bpp file without an alpha mask, as ours are.
            blank->GetRow(y, blankRow);
            for (std::size_t k = 0; k < read && (image == loaded.get() || image == again.get());
                 ++k)
              blankRow[k] |= 0xFF000000u;
            EXPECT_EQ(row, blankRow);
          }
        }
        image->Unload();  // the next read makes its pixels again, where it can
        // A pixel set reads back, on every kind of image, then is set back.
        std::uint32_t old = 0, back = 0;
        EXPECT_TRUE(image->GetPixel(w - 1, 2, old) &&
                    image->SetPixel(w - 1, 2, ~old | 0xFF000000u) &&
                    image->GetPixel(w - 1, 2, back) && back == (~old | 0xFF000000u) &&
                    image->SetPixel(w - 1, 2, old));
      }
      loaded.reset();  // GDI+ holds its files open
      again.reset();
      std::vector<std::uint32_t> values(std::size_t(w) + 2);
      for (std::int32_t x = 0; x < w + 2; ++x) blank->SetPixel(x, 1, values[x] = value(x, 9));
      rows->SetRow(1, values);
      rows->Unload();  // written: nothing to make its pixels again from
      EXPECT_TRUE(sameFiles());
    }
  }
}

// Pictures written by other programs show, through this layer, the pixels an
// independent decoder shows.
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

TEST(PixelImage, ProducersFilesLoadAsAnotherDecoderShowsThem) {
  const ImagingSession session;
  testing::CheckDecoderTable("producers_manifest.txt", LoadPixels);
  // Our own layer reads plain files in place and the rest through the
  // decoder: either way, what the decoder shows.
  if (std::string(testing::kPlatform) != "posix") return;
  for (const char* table : {"bmp_manifest.txt", "bmp_cases.txt"}) {
    testing::CheckDecoderTable(table, LoadPixels);
  }
}

}  // namespace
}  // namespace tessarel
