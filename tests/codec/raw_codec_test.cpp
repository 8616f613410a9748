#include "codec/raw_codec.h"

#include <gtest/gtest.h>

#include "codec/codec_tables.h"

namespace tessarel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<RawPixel>;

Bytes Hex(const std::string& text) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

void CheckLayout(std::istringstream& fields) {
  std::int64_t width = 0, height = 0;
  std::string colour, mask, file;
  fields >> width >> height >> colour >> mask >> file;
  RawSizes sizes;
  ASSERT_EQ(RawLayout(width, height, sizes), colour != "refused");
  if (colour == "refused") return;
  EXPECT_EQ(std::to_string(sizes.colourBytes) + " " + std::to_string(sizes.maskBytes) + " " +
                std::to_string(sizes.fileBytes),
            colour + " " + mask + " " + file);
}

// The words as one run of ARGB pixels, unpacked (when `unpack`) and packed
// back; a span a byte short is refused, and nothing past the run is written.
void CheckColours(Bytes words, const Pixels& argb, bool unpack) {
  const std::size_t n = argb.size();
  Pixels unpacked(n + 1, 7);
  EXPECT_FALSE(
      UnpackRawColourArgb(std::span(words).first(2 * n - 1), std::span(unpacked).first(n)));
  EXPECT_TRUE(UnpackRawColourArgb(words, std::span(unpacked).first(n)));
  EXPECT_EQ(unpacked.back(), 7u);
  unpacked.pop_back();
  if (unpack) {
    EXPECT_EQ(unpacked, argb);
  }
  Bytes packed(2 * n + 1, 0xAA);
  EXPECT_FALSE(PackRawColourArgb(argb, std::span(packed).first(2 * n - 1)));
  EXPECT_TRUE(PackRawColourArgb(argb, std::span(packed).first(2 * n)));
  words.push_back(0xAA);
  EXPECT_EQ(packed, words);
}

// Any non-zero pixel packs as opaque; unpacked, opaque is 0x00FFFFFF. Nothing
// past the run is written, nor read: the pixel after it is transparent.
void CheckMask(std::istringstream& fields) {
  std::size_t bit = 0;
  std::string pixels, hex;
  fields >> bit >> pixels >> hex;
  if (pixels == "-") pixels.clear();
  const Bytes plane = Hex(hex);
  const std::size_t n = pixels.size();
  Pixels expected(n + 1, 5), toPack(n + 1, 0), unpacked(n + 1, 5);
  for (std::size_t i = 0; i < n; ++i) {
    expected[i] = pixels[i] == 'T' ? 0 : 0x00FFFFFF;
    toPack[i] = pixels[i] == 'T' ? 0 : 0x000100;
  }
  EXPECT_TRUE(UnpackRawMask(plane, bit, std::span(unpacked).first(n)));
  EXPECT_EQ(unpacked, expected);
  Bytes packed(plane.size() + 1, 0);
  EXPECT_TRUE(PackRawMask(std::span(toPack).first(n), bit, std::span(packed).first(plane.size())));
  EXPECT_EQ(packed, Hex(hex == "-" ? "00" : hex + "00"));
  if (n == 0) return;
  const std::span<const std::uint8_t> shortPlane(plane.data(), plane.size() - 1);
  EXPECT_FALSE(UnpackRawMask(shortPlane, bit, std::span(unpacked).first(n)));
  EXPECT_FALSE(
      PackRawMask(std::span(toPack).first(n), bit, std::span(packed).first(plane.size() - 1)));
}

TEST(RawCodec, LayoutColourWordsAndMaskBits) {
  Bytes words[2];
  Pixels pixels[2];
  for (const std::string& line : testing::TableLines("raw_planes.txt")) {
    SCOPED_TRACE(line);
    std::istringstream fields(line);
    std::string kind, first, second;
    fields >> kind;
    if (kind == "layout") CheckLayout(fields);
    if (kind == "mask") CheckMask(fields);
    if (kind != "colour" && kind != "pack") continue;
    const bool pack = kind == "pack";
    fields >> first >> second;
    const Bytes word = Hex(pack ? second : first);
    words[pack].insert(words[pack].end(), word.begin(), word.end());
    pixels[pack].push_back(static_cast<RawPixel>(std::stoul(pack ? first : second, nullptr, 16)));
  }
  CheckColours(words[0], pixels[0], true);
  CheckColours(words[1], pixels[1], false);
}

}  // namespace
}  // namespace tessarel
