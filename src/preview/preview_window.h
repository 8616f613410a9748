// The platform's preview window.
#pragma once

#include "image/pixel_image.h"

namespace tessarel {

inline constexpr const char* kPreviewTitle = "Tessarel - Preview";
inline constexpr int kPreviewWindowSize = 150;

// Opens the window and runs its event loop until it is closed; returns at once
// when no window can be created (no display included). The two images are the
// planes of one loaded RAW picture: one size, each side 1 to INT32_MAX.
void RunPreviewWindow(PixelImage& picture, PixelImage& mask);

}  // namespace tessarel
