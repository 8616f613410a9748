// GIF bytes straight into the first-frame decoder.
#include <cstdlib>

#include "codec/gif_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessarel::DecodedBitmap bitmap;
  if (!tessarel::DecodeGif({data, size}, bitmap)) return 0;
  const std::uint64_t pixels = std::uint64_t(bitmap.width) * bitmap.height;
  if (pixels == 0 || pixels > tessarel::kMaxDecodedPixels || bitmap.argb.size() != pixels) {
    std::abort();
  }
  return 0;
}
