// libFuzzer target for the BMP decoder. Besides never faulting, whatever
// decodes must survive a trip through our own encoder: the decoder and the
// encoder are checked against each other on every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "codec/bmp_codec.h"

namespace {

// abort() rather than assert so the check survives NDEBUG builds.
void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckRoundTrip(const tessarel::DecodedBitmap& image, int bitsPerPixel,
                    const std::vector<std::uint32_t>& opaque) {
  std::vector<std::uint8_t> file;
  Require(tessarel::EncodeBmp(image.width, image.height, bitsPerPixel, image.argb, file));
  tessarel::DecodedBitmap again;
  Require(tessarel::DecodeBmp(file, again));
  Require(again.width == image.width && again.height == image.height && !again.hasAlpha);
  // Both encodings come back opaque: 24-bit has no alpha, and a 40-byte
  // header's fourth byte of a 32-bit pixel is not alpha to the decoder.
  Require(again.argb == opaque);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessarel::DecodedBitmap image;
  const bool looks = tessarel::LooksLikeBmp(std::span(data, size));
  if (!tessarel::DecodeBmp(std::span(data, size), image)) {
    Require(image.argb.empty() && image.width == 0 && image.height == 0);
    return 0;
  }
  Require(looks);
  Require(image.width > 0 && image.height > 0);
  Require(image.argb.size() == std::size_t{image.width} * image.height);

  std::vector<std::uint32_t> opaque = image.argb;
  for (std::uint32_t& v : opaque) {
    Require(image.hasAlpha || (v >> 24) == 0xFF);
    v |= 0xFF000000u;
  }
  CheckRoundTrip(image, 24, opaque);
  CheckRoundTrip(image, 32, opaque);
  return 0;
}
