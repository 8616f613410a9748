// GIF reading over giflib, in memory: the first frame only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "codec/decoded_bitmap.h"

namespace tessarel {

// Pixels of the first frame on the logical screen; the transparent colour
// index (graphics control block) gives alpha 0 with the palette colour kept,
// every other pixel alpha 0xFF.
bool DecodeGif(std::span<const std::uint8_t> file, DecodedBitmap& out);

// True when the file's first bytes are a GIF header whose logical screen is
// more than kMaxDecodedPixels, which DecodeGif refuses; why is its reason.
bool GifTooBigToDecode(std::span<const std::uint8_t> header, std::string_view& why);

}  // namespace tessarel
