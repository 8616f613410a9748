// libFuzzer target for the BMP decoder. Besides never faulting, whatever
// decodes must survive a trip through our own encoder: the decoder and the
// encoder are checked against each other on every input.
#include <cstdlib>
#include <vector>

#include "codec/bmp_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // abort() rather than assert so the checks survive NDEBUG builds.
  const auto require = [](bool condition) {
    if (!condition) std::abort();
  };
  tessarel::DecodedBitmap image;
  if (!tessarel::DecodeBmp({data, size}, image)) {
    require(image.argb.empty() && image.width == 0 && image.height == 0);
    return 0;
  }
  require(size >= 2 && data[0] == 'B' && data[1] == 'M' && image.width > 0 && image.height > 0);
  require(image.argb.size() == std::size_t{image.width} * image.height);
  std::vector<std::uint32_t> opaque = image.argb;
  for (std::uint32_t& v : opaque) {
    require(image.hasAlpha || (v >> 24) == 0xFF);
    v |= 0xFF000000u;
  }
  // Both encodings come back opaque: 24-bit has no alpha, and a 40-byte
  // header's fourth byte of a 32-bit pixel is not alpha to the decoder.
  for (const int bitsPerPixel : {24, 32}) {
    std::vector<std::uint8_t> file;
    require(tessarel::EncodeBmp(image.width, image.height, bitsPerPixel, image.argb, file));
    tessarel::DecodedBitmap again;
    require(tessarel::DecodeBmp(file, again) && !again.hasAlpha && again.argb == opaque);
    require(again.width == image.width && again.height == image.height);
  }
  return 0;
}
