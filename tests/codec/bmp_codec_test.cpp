#include "codec/bmp_codec.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "codec/codec_tables.h"

namespace tessarel {
namespace {

TEST(BmpDecode, ThirdPartyFilesMatchImageMagick) {
  testing::CheckDecoderTable("bmp_manifest.txt", DecodeBmp);
}

TEST(BmpDecode, HandMadeFiles) {
  testing::CheckDecoderTable("bmp_cases.txt", DecodeBmp, true);
}

TEST(BmpEncode, PlansAndWritesTheGoldenFiles) {
  for (const std::string& line : testing::TableLines("bmp_encode.txt")) {
    SCOPED_TRACE(line);
    std::istringstream fields(line);
    std::uint32_t width = 0, height = 0, bpp = 0;
    std::string planned, result;
    fields >> width >> height >> bpp >> planned >> result;
    std::vector<std::uint32_t> argb;
    for (std::uint32_t v = 0; fields >> std::hex >> v;) argb.push_back(v);
    BmpFileLayout layout;
    ASSERT_EQ(PlanBmpFile(width, height, bpp, layout), planned != "refused");
    EXPECT_TRUE(planned == "refused" || std::to_string(layout.fileBytes) == planned);
    if (result == "-") continue;
    std::vector<std::uint8_t> file = {1};
    EXPECT_EQ(EncodeBmp(width, height, bpp, argb, file), result != "refused");
    EXPECT_EQ(file, result == "refused"
                        ? std::vector<std::uint8_t>()
                        : testing::ReadBytes(testing::TestDataDir() + "/" + result));
    // The headers alone, over bytes that are not zero.
    std::vector<std::uint8_t> headers(layout.pixelOffset, 0xFF);
    WriteBmpHeaders(width, height, int(bpp), layout, headers);
    EXPECT_TRUE(result == "refused" || std::equal(headers.begin(), headers.end(), file.begin()));
  }
}

// Every width the row loops split differently, in buffers of exactly the
// row's bytes, so that the sanitizer build sees any access past them.
TEST(BmpRows, EveryWidthMovesEachPixelAloneAndStaysInTheRow) {
  for (std::size_t width = 0; width <= 70; ++width) {
    SCOPED_TRACE(width);
    std::vector<std::uint8_t> bytes(3 * width), packed(3 * width);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 37 + width);
    std::vector<std::uint32_t> argb(width);
    UnpackBmpRow(bytes.data(), 24, argb);
    for (std::size_t x = 0; x < width; ++x) {
      ASSERT_EQ(argb[x],
                0xFF000000u | bytes[3 * x + 2] << 16 | bytes[3 * x + 1] << 8 | bytes[3 * x]);
    }
    PackBmpRow(argb, 24, packed.data());
    EXPECT_EQ(packed, bytes);
  }
}

}  // namespace
}  // namespace tessarel
