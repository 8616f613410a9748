#include "codec/raw_codec.h"

#include <gtest/gtest.h>

#include "codec/codec_tables.h"

namespace tessarel {
namespace {

using Bytes = std::vector<std::uint8_t>;

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
  EXPECT_EQ(std::to_string(sizes.pixels), std::to_string(width * height));
  EXPECT_EQ(std::to_string(sizes.colourBytes) + " " + std::to_string(sizes.maskBytes) + " " +
                std::to_string(sizes.fileBytes),
            colour + " " + mask + " " + file);
}

// Unpacked when `both`, always packed back; a span one byte short is refused.
void CheckColour(std::istringstream& fields, bool both) {
  std::string first, second;
  fields >> first >> second;
  const Bytes word = Hex(both ? first : second);
  const RawPixel pixel = static_cast<RawPixel>(std::stoul(both ? second : first, nullptr, 16));
  RawPixel unpacked = 1;
  EXPECT_TRUE(UnpackRawColour(word, {&unpacked, 1}));
  EXPECT_TRUE(!both || unpacked == pixel) << std::hex << unpacked;
  EXPECT_FALSE(UnpackRawColour(std::span(word).first(1), {&unpacked, 1}));
  Bytes packed(2);
  EXPECT_TRUE(PackRawColour({&pixel, 1}, packed));
  EXPECT_EQ(packed, word);
  EXPECT_FALSE(PackRawColour({&pixel, 1}, std::span(packed).first(1)));
}

// Any non-zero pixel packs as opaque; unpacked, opaque is 0x00FFFFFF.
void CheckMask(std::istringstream& fields) {
  std::size_t bit = 0;
  std::string pixels, hex;
  fields >> bit >> pixels >> hex;
  if (pixels == "-") pixels.clear();
  const Bytes plane = Hex(hex);
  std::vector<RawPixel> expected, toPack;
  for (const char c : pixels) {
    expected.push_back(c == 'T' ? 0 : 0x00FFFFFF);
    toPack.push_back(c == 'T' ? 0 : 0x000100);
  }
  std::vector<RawPixel> unpacked(pixels.size(), 5);
  EXPECT_TRUE(UnpackRawMask(plane, bit, unpacked));
  EXPECT_EQ(unpacked, expected);
  Bytes packed(plane.size(), 0);
  EXPECT_TRUE(PackRawMask(toPack, bit, packed));
  EXPECT_EQ(packed, plane);
  if (plane.empty()) return;
  EXPECT_FALSE(UnpackRawMask(std::span(plane).first(plane.size() - 1), bit, unpacked));
  EXPECT_FALSE(PackRawMask(toPack, bit, std::span(packed).first(plane.size() - 1)));
}

TEST(RawCodec, LayoutColourWordsAndMaskBits) {
  for (const std::string& line : testing::TableLines("raw_planes.txt")) {
    SCOPED_TRACE(line);
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "layout") CheckLayout(fields);
    if (kind == "colour" || kind == "pack") CheckColour(fields, kind == "colour");
    if (kind == "mask") CheckMask(fields);
  }
}

}  // namespace
}  // namespace tessarel
