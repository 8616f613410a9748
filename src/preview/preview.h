// A RAW picture shown beside its mask in a small window.
#pragma once

#include <cstdint>
#include <string>

namespace tessarel {

struct PreviewLayout {
  std::int32_t pictureX = 0;
  std::int32_t pictureY = 0;
  std::int32_t maskX = 0;
  std::int32_t maskY = 0;
};

// Picture centred in the left half of the client area, mask at the same place
// in the right half; signed arithmetic, divisions truncate toward zero.
PreviewLayout ComputePreviewLayout(std::int32_t clientWidth, std::int32_t clientHeight,
                                   std::int32_t pictureWidth, std::int32_t pictureHeight);

// A rectangle in an image's own pixels.
struct PreviewPart {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The part of a width x height image placed at (x, y) that falls inside the
// client area, in the image's own pixels: the window never shows more, so no
// more need be read or held, whatever the picture's size. A part of no
// pixels has a width or height of 0 or less.
PreviewPart VisiblePart(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                        std::int32_t clientWidth, std::int32_t clientHeight);

// Returns when the window is closed, or at once (silently) when the file does
// not load or no window can be opened.
void ShowPreview(const std::string& path, const std::string& sizeMask);

}  // namespace tessarel
