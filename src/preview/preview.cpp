#include "preview/preview.h"

#include "convert/raw_file.h"
#include "platform/file_io.h"
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

void ShowPreview(const std::string& path, const std::string& sizeMask) {
  if (path.empty() || sizeMask.empty()) return;
  PixelImagePtr picture, mask;
  if (!LoadRawFile(NativePath(path), sizeMask, picture, mask)) return;
  RunPreviewWindow(*picture, *mask);
}

}  // namespace tessarel
