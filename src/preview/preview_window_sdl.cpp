#include "preview/preview_window.h"

namespace tessarel {

bool RunPreviewWindow(PixelImage&, PixelImage&) { return false; }

}  // namespace tessarel
