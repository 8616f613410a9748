#include <gtest/gtest.h>

#include "preview/preview.h"

namespace tessarel {
namespace {

TEST(ComputePreviewLayout, PlacesPictureAndMaskInTheirHalves) {
  struct Case {
    const char* what;
    std::int32_t clientW, clientH, pictureW, pictureH;
    std::int32_t pictureX, pictureY, maskX, maskY;
  };
  const Case cases[] = {
      {"sample sprite in the preview window", 150, 150, 23, 23, 26, 63, 101, 63},
      {"single pixel", 150, 150, 1, 1, 37, 74, 112, 74},
      {"exactly half the width touches the centre line", 150, 150, 75, 10, 0, 70, 75, 70},
      // Wider than a half: the picture clips on the left and the mask starts
      // left of the centre line, over the picture's right part.
      {"wider than half", 150, 150, 100, 20, -12, 65, 63, 65},
      {"as wide as the client", 150, 150, 150, 150, -37, 0, 38, 0},
      // (75 - 80) / 2 is -2 with C division, where a floor would give -3.
      {"negative odd gap truncates toward zero", 150, 150, 80, 10, -2, 70, 73, 70},
      {"taller than the client", 150, 150, 10, 160, 32, -5, 107, -5},
      {"taller by an odd amount truncates toward zero", 150, 150, 10, 161, 32, -5, 107, -5},
      // An odd client width loses its last column to the right half.
      {"odd client width", 151, 149, 24, 24, 25, 62, 100, 62},
      {"odd picture size", 150, 150, 23, 24, 26, 63, 101, 63},
      {"client smaller than a framed window", 134, 111, 23, 23, 22, 44, 89, 44},
      {"no client area at all", 0, 0, 23, 23, -11, -11, -11, -11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PreviewLayout layout = ComputePreviewLayout(c.clientW, c.clientH, c.pictureW, c.pictureH);
    EXPECT_EQ(layout.pictureX, c.pictureX);
    EXPECT_EQ(layout.pictureY, c.pictureY);
    EXPECT_EQ(layout.maskX, c.maskX);
    EXPECT_EQ(layout.maskY, c.maskY);
  }
}

}  // namespace
}  // namespace tessarel
