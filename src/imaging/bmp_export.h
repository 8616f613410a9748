// A picture and its mask saved as two BMP files beside each other.
#pragma once

#include <string>
#include <string_view>

#include "imaging/pixel_image.h"

namespace tessarel {

// The last encoder whose MIME type equals mimeType exactly.
bool FindEncoderClsid(std::string_view mimeType, Guid& clsid);

// Writes base.bmp and base_mask.bmp (base: outPath without its extension).
// An absent image is skipped. Fails, writing neither file, when either name is
// the file keepIntact; fails when a present image cannot be saved.
bool SaveBmpPair(const std::string& outPath, PixelImage* picture, PixelImage* mask,
                 const std::string& keepIntact = {});

}  // namespace tessarel
