// What the Windows preview needs from the GDI+ image layer beyond pixel_image.h.
#pragma once

#include <windows.h>

#include <gdiplus.h>  // needs <windows.h> before it

#include <cstdint>

#include "image/pixel_image.h"

namespace tessarel {

// Draws the image at natural size with its top-left corner at (x, y). An object
// without a native image draws nothing and fails like every other operation.
bool DrawPixelImage(Gdiplus::GpGraphics* graphics, PixelImage& image, std::int32_t x,
                    std::int32_t y);

}  // namespace tessarel
