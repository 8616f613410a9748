// The part of each image the preview reads, from tests/data/units/visible_part.txt.
#include "preview/preview.h"

#include <gtest/gtest.h>

#include <sstream>

#include "codec/codec_tables.h"

namespace tessarel {
namespace {

TEST(Preview, VisiblePartIsWhatTheClientAreaShows) {
  for (const std::string& line : testing::TableLines("units/visible_part.txt")) {
    std::istringstream in(line);
    std::int32_t x, y, width, height, clientWidth, clientHeight;
    PreviewPart want;
    in >> x >> y >> width >> height >> clientWidth >> clientHeight >> want.x >> want.y >>
        want.width >> want.height;
    const PreviewPart part = VisiblePart(x, y, width, height, clientWidth, clientHeight);
    EXPECT_TRUE(part.x == want.x && part.y == want.y && part.width == want.width &&
                part.height == want.height)
        << line << " gives " << part.x << " " << part.y << " " << part.width << " " << part.height;
  }
}

}  // namespace
}  // namespace tessarel
