#include "preview/preview.h"

#include <algorithm>

#include "convert/raw_file.h"
#include "platform/path_names.h"
#include "preview/preview_window.h"

namespace tessarel {

PreviewLayout ComputePreviewLayout(std::int32_t clientWidth, std::int32_t clientHeight,
                                   std::int32_t pictureWidth, std::int32_t pictureHeight) {
  PreviewLayout layout;
  const std::int32_t half = clientWidth / 2;
  layout.pictureX = (half - pictureWidth) / 2;
  layout.pictureY = (clientHeight - pictureHeight) / 2;
  layout.maskX = half + layout.pictureX;
  layout.maskY = layout.pictureY;
  return layout;
}

PreviewPart VisiblePart(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                        std::int32_t clientWidth, std::int32_t clientHeight) {
  const std::int32_t left = std::max(-x, 0);
  const std::int32_t top = std::max(-y, 0);
  const std::int32_t right = std::min(clientWidth - x, width);
  const std::int32_t bottom = std::min(clientHeight - y, height);
  return {left, top, right - left, bottom - top};
}

void ShowPreview(const std::string& path, const std::string& sizeMask) {
  PixelImagePtr picture, mask;
  if (!LoadRawFile(NativePath(path), sizeMask, picture, mask)) return;
  RunPreviewWindow(*picture, *mask);
}

}  // namespace tessarel
