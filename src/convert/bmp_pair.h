// A picture and its mask saved as two BMP files beside each other.
#pragma once

#include <string>
#include <string_view>

#include "image/pixel_image.h"
#include "platform/file_io.h"

namespace tessarel {

// The last encoder whose MIME type equals mimeType exactly.
bool FindEncoderClsid(std::string_view mimeType, Guid& clsid);

// Writes base.bmp and base_mask.bmp (base: outPath without its extension) as
// one unit: both stand, or neither changes. An absent image is skipped. Fails
// when a present image cannot be saved or a file protect protects is in the way.
bool SaveBmpPair(const std::string& outPath, PixelImage* picture, PixelImage* mask,
                 ProtectedFiles* protect = nullptr);

}  // namespace tessarel
