// Pictures to convert to RAW, with the mask that goes with them.
#pragma once

#include <string>

#include "image/pixel_image.h"

namespace tessarel {

// BMP: mask from the companion "_mask.bmp" file, or all opaque without one.
// GIF: mask from the transparent colour. Anything else, or a picture that did
// not decode: success with no mask. Fails only when path does not exist or
// the picture's object cannot be allocated. An image that lacked memory or an
// open file is starved (or absent), which the RAW writer refuses.
bool LoadSourceImage(const std::string& path, PixelImagePtr& picture, PixelImagePtr& mask);

}  // namespace tessarel
