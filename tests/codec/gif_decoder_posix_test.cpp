// Our GIF path (giflib); on Windows the platform decodes GIF itself.
#include "codec/gif_decoder.h"

#include <gtest/gtest.h>

#include "codec/codec_tables.h"

namespace tessarel {
namespace {

TEST(GifDecode, ThirdPartyFilesMatchImageMagick) {
  testing::CheckDecoderTable("gif_manifest.txt", DecodeGif);
}

TEST(GifDecode, CanvasLimits) {
  testing::CheckDecoderTable("gif_cases.txt", DecodeGif);
}

}  // namespace
}  // namespace tessarel
