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

// Returns when the window is closed, or at once (silently) when the file does
// not load or no window can be opened.
void ShowPreview(const std::string& path, const std::string& sizeMask);

}  // namespace tessarel
