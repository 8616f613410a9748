#include "codec/bmp_codec.h"

#include <gtest/gtest.h>

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
  }
}

}  // namespace
}  // namespace tessarel
