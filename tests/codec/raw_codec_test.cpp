#include "codec/raw_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tessarel {
namespace {

TEST(RawLayout, Sizes) {
  struct Case {
    int w, h;
    std::size_t colour, mask, file;
  };
  const Case cases[] = {
      {1, 1, 2, 1, 4},   {8, 1, 16, 1, 18},        {2, 2, 8, 1, 10}, {4, 4, 32, 2, 34},
      {3, 3, 18, 2, 20}, {23, 23, 1058, 67, 1126}, {0, 5, 0, 0, 0},  {16, 1, 32, 2, 34},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    RawSizes s;
    ASSERT_TRUE(RawLayout(c.w, c.h, s));
    EXPECT_EQ(s.colourBytes, c.colour);
    EXPECT_EQ(s.maskBytes, c.mask);
    EXPECT_EQ(s.fileBytes, c.file);
  }
}

TEST(RawLayout, RefusesNegativeAndOverflowingSizes) {
  RawSizes s;
  EXPECT_FALSE(RawLayout(-1, 5, s));
  EXPECT_FALSE(RawLayout(5, -1, s));
  const std::int64_t big = std::numeric_limits<std::int64_t>::max();
  EXPECT_FALSE(RawLayout(big, 2, s));
  EXPECT_FALSE(RawLayout(std::int64_t{1} << 40, std::int64_t{1} << 40, s));
}

TEST(RawCodec, ColourWordsAndMaskBitsAreLaidOutExactly) {
  // Pixels: white opaque, pure red transparent, pure green, pure blue (opaque).
  const std::vector<RawPixel> colour = {0x00FFFFFF, 0x000000FF, 0x0000FF00, 0x00FF0000};
  const std::vector<RawPixel> mask = {0x00FFFFFF, 0, 0x00010101, 0x00FFFFFF};
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(PackRaw(colour, mask, 2, 2, bytes));
  const std::vector<std::uint8_t> want = {0xFF, 0xFF, 0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F,
                                          0x40,   // second pixel transparent: bit 0x40
                                          0x00};  // parity byte (9 bytes of planes)
  EXPECT_EQ(bytes, want);
}

TEST(RawCodec, UnpackTakesTopBitsWithoutReplication) {
  const std::vector<std::uint8_t> bytes = {0xFF, 0xFF, 0x12, 0x34, 0x80, 0x00};
  std::vector<RawPixel> colour, mask;
  ASSERT_TRUE(UnpackRaw(bytes, 2, 1, colour, mask));
  EXPECT_EQ(colour[0], 0x00F8FCF8u);
  // 0x1234 = 00010 010001 10100: red 2<<3, green 17<<2, blue 20<<3.
  EXPECT_EQ(colour[1], (20u << 3 << 16) | (17u << 2 << 8) | (2u << 3));
  EXPECT_EQ(mask[0], 0u);
  EXPECT_EQ(mask[1], 0x00FFFFFFu);
}

TEST(RawCodec, MaskPlaneRunsAcrossRowsMostSignificantBitFirst) {
  const int w = 3, h = 5;  // 15 pixels: the plane's second byte is partial
  std::vector<RawPixel> colour(15, 0), mask(15, 0x00FFFFFF);
  for (int i : {0, 3, 7, 8, 14}) mask[i] = 0;
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(PackRaw(colour, mask, w, h, bytes));
  ASSERT_EQ(bytes.size(), 32u);
  EXPECT_EQ(bytes[30], 0x91);  // pixels 0, 3, 7
  EXPECT_EQ(bytes[31], 0x82);  // pixels 8, 14; bit for the 16th slot stays 0
}

TEST(RawCodec, RoundTripClearsLowBits) {
  const int w = 7, h = 3;
  std::vector<RawPixel> colour, mask;
  for (int i = 0; i < w * h; ++i) {
    colour.push_back(std::uint32_t(i * 37) | std::uint32_t(i * 91 % 256) << 8 |
                     std::uint32_t(255 - i) << 16 | 0xAB000000u);
    mask.push_back(i % 3 == 0 ? 0 : std::uint32_t(i));
  }
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(PackRaw(colour, mask, w, h, bytes));
  std::vector<RawPixel> colourBack, maskBack;
  ASSERT_TRUE(UnpackRaw(bytes, w, h, colourBack, maskBack));
  for (int i = 0; i < w * h; ++i) {
    EXPECT_EQ(colourBack[i], colour[i] & 0x00F8FCF8u) << i;
    EXPECT_EQ(maskBack[i], mask[i] == 0 ? 0u : 0x00FFFFFFu) << i;
  }
}

TEST(RawCodec, ShortBuffersAreRefusedAndTrailingBytesIgnored) {
  std::vector<RawPixel> colour, mask;
  std::vector<std::uint8_t> bytes(1125, 0);  // 23 x 23 needs 1058 + 67
  EXPECT_TRUE(UnpackRaw(bytes, 23, 23, colour, mask));
  bytes.resize(1124);
  EXPECT_FALSE(UnpackRaw(bytes, 23, 23, colour, mask));
  bytes.assign(5000, 0);
  EXPECT_TRUE(UnpackRaw(bytes, 23, 23, colour, mask));
  EXPECT_EQ(colour.size(), 529u);
  EXPECT_FALSE(UnpackRaw(bytes, -3, 2, colour, mask));
  EXPECT_FALSE(UnpackRaw(bytes, 65536, 65536, colour, mask));
  EXPECT_FALSE(PackRaw(std::vector<RawPixel>(3), std::vector<RawPixel>(4), 2, 2, bytes));
}

TEST(RawCodec, RangesOutsideThePictureAreRefused) {
  RawSizes sizes;
  ASSERT_TRUE(RawLayout(3, 3, sizes));
  std::vector<std::uint8_t> bytes(sizes.fileBytes, 0);
  std::vector<RawPixel> row(3), shortRow(2);
  EXPECT_TRUE(UnpackRawPixels(bytes, sizes, 6, row, row));
  EXPECT_FALSE(UnpackRawPixels(bytes, sizes, 7, row, row));
  EXPECT_FALSE(UnpackRawPixels(bytes, sizes, SIZE_MAX, row, row));
  EXPECT_FALSE(UnpackRawPixels(bytes, sizes, 0, row, shortRow));
  EXPECT_TRUE(PackRawPixels(row, row, sizes, 6, bytes));
  EXPECT_FALSE(PackRawPixels(row, row, sizes, 7, bytes));
  bytes.pop_back();
  EXPECT_FALSE(PackRawPixels(row, row, sizes, 0, bytes));
}

// The plane forms at every bit position and across their internal stretches
// of whole bytes, against the layout taken one bit at a time.
TEST(RawCodec, MaskPlaneFormsWorkFromAnyBit) {
  for (std::size_t bit = 0; bit < 8; ++bit) {
    for (std::size_t count : {0, 1, 7, 8, 9, 63, 64, 65, 130}) {
      SCOPED_TRACE(::testing::Message() << "bit " << bit << " count " << count);
      std::vector<RawPixel> mask(count);
      for (std::size_t i = 0; i < count; ++i) mask[i] = (i * 7 + bit) % 3 == 0 ? 0 : 0x010000;
      std::vector<std::uint8_t> plane((bit + count + 7) / 8, 0);
      ASSERT_TRUE(PackRawMask(mask, bit, plane));
      for (std::size_t i = 0; i < plane.size() * 8; ++i) {
        const bool set = (plane[i / 8] & (0x80 >> (i % 8))) != 0;
        const bool transparent = i >= bit && i < bit + count && mask[i - bit] == 0;
        ASSERT_EQ(set, transparent) << "bit " << i;
      }
      std::vector<RawPixel> back(count, 5);
      ASSERT_TRUE(UnpackRawMask(plane, bit, back));
      for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(back[i], mask[i] == 0 ? 0u : 0x00FFFFFFu) << i;
      }
      if (count > 0) {
        const std::span<std::uint8_t> tooShort(plane.data(), (bit + count - 1) / 8);
        EXPECT_FALSE(PackRawMask(mask, bit, tooShort));
        EXPECT_FALSE(UnpackRawMask(tooShort, bit, back));
      }
    }
  }
}

TEST(RawCodec, EveryColourWordSurvivesUnpackAndPack) {
  std::vector<std::uint8_t> words(2 * 65536);
  for (std::size_t v = 0; v < 65536; ++v) {
    words[2 * v] = std::uint8_t(v >> 8);
    words[2 * v + 1] = std::uint8_t(v);
  }
  std::vector<RawPixel> colour(65536);
  ASSERT_TRUE(UnpackRawColour(words, colour));
  std::vector<std::uint8_t> back(words.size());
  ASSERT_TRUE(PackRawColour(colour, back));
  EXPECT_EQ(back, words);
  EXPECT_FALSE(PackRawColour(colour, std::span(back).first(back.size() - 1)));
  EXPECT_FALSE(UnpackRawColour(std::span(words).first(words.size() - 1), colour));
}

}  // namespace
}  // namespace tessarel
