#include "codec/bmp_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef TESSAREL_TESTDATA
#define TESSAREL_TESTDATA ""
#endif

namespace tessarel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<std::uint32_t>;

// ---- hand-made files ----------------------------------------------------

struct BmpParts {
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t bpp = 8;
  std::uint32_t compression = 0;
  std::uint32_t infoSize = 40;
  Pixels palette = {0x000000, 0xFFFFFF};  // 0xRRGGBB
  std::array<std::uint32_t, 4> masks{};   // in the header, or after a 40-byte one
  Bytes pixels;                           // exactly as stored
  std::int64_t offset = -1;               // -1: right after the palette
};

void Put(Bytes& b, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Zeros(Bytes& b, std::size_t n) {
  b.resize(b.size() + n, 0);
}

Bytes Build(const BmpParts& p) {
  Bytes b = {'B', 'M'};
  Zeros(b, 12);  // size, reserved, offset: patched below
  Put(b, p.infoSize, 4);
  const bool os2 = p.infoSize == 12;
  Put(b, static_cast<std::uint32_t>(p.width), os2 ? 2 : 4);
  Put(b, static_cast<std::uint32_t>(p.height), os2 ? 2 : 4);
  Put(b, 1, 2);
  Put(b, p.bpp, 2);
  if (p.infoSize >= 40) {
    Put(b, p.compression, 4);
    Zeros(b, 12);
    Put(b, static_cast<std::uint32_t>(p.palette.size()), 4);
    Put(b, 0, 4);
  }
  const bool bitfields = p.compression == 3 || p.compression == 6;
  for (int i = 0; p.infoSize >= 52 && i < (p.infoSize >= 56 ? 4 : 3); ++i) Put(b, p.masks[i], 4);
  b.resize(14 + p.infoSize, 0);
  for (int i = 0; p.infoSize == 40 && bitfields && i < (p.compression == 6 ? 4 : 3); ++i) {
    Put(b, p.masks[i], 4);
  }
  for (const std::uint32_t c : p.palette) Put(b, c, os2 ? 3 : 4);
  const auto offset = static_cast<std::uint32_t>(p.offset < 0 ? b.size() : p.offset);
  b.insert(b.end(), p.pixels.begin(), p.pixels.end());
  for (int i = 0; i < 4; ++i) b[2 + i] = static_cast<std::uint8_t>(b.size() >> (8 * i));
  for (int i = 0; i < 4; ++i) b[10 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
  return b;
}

constexpr std::uint32_t kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

BmpParts Rle8(Bytes stream, std::int32_t width = 4, std::int32_t height = 2) {
  BmpParts p;
  p.width = width;
  p.height = height;
  p.compression = 1;
  p.palette = {0x0000FF, 0xFF0000, 0xFFFFFF};
  p.pixels = std::move(stream);
  return p;
}

BmpParts Masked(std::uint16_t bpp, std::uint32_t compression, std::uint32_t infoSize,
                std::array<std::uint32_t, 4> masks, Bytes pixel) {
  BmpParts p;
  p.bpp = bpp;
  p.compression = compression;
  p.infoSize = infoSize;
  p.masks = masks;
  p.palette = {};
  p.pixels = std::move(pixel);
  return p;
}

// An 8-bit (unless changed) picture with a black and white palette.
BmpParts Indexed(std::int32_t width, std::int32_t height, Bytes pixels) {
  BmpParts p;
  p.width = width;
  p.height = height;
  p.pixels = std::move(pixels);
  return p;
}

struct DecodeCase {
  const char* name;
  Bytes file;
  Pixels expected;  // top row first; empty: the file must be refused
  bool hasAlpha = false;
};

std::vector<DecodeCase> DecodeCases() {
  BmpParts mono = Indexed(3, 2, {0b1010'0000, 0, 0, 0, 0b0110'0000, 0, 0, 0});  // bottom row first
  mono.bpp = 1;
  BmpParts topDown = Indexed(2, -2, {0, 1, 0, 0, 1, 1, 0, 0});
  topDown.palette = {0xFF0000, 0x0000FF};
  const BmpParts shortRows = Indexed(3, 2, {0, 1, 0, 0, 1, 1, 0});  // no padding after the last row
  BmpParts truncRows = shortRows;
  truncRows.pixels.pop_back();
  BmpParts offsetPast = Indexed(1, 1, {0, 0, 0, 0});
  offsetPast.offset = 4096;
  // The absolute run's 3 data bytes are followed by 1 byte of padding.
  BmpParts rle4 = Rle8({0, 5, 0x12, 0x01, 0x20, 0, 0, 0, 5, 0x21, 0, 1}, 5, 2);
  rle4.compression = 2;
  rle4.bpp = 4;
  BmpParts rleBomb = Rle8({0, 1}, 8192, 8192);

  return {
      {"1bpp two-entry palette, bottom-up",
       Build(mono),
       {kBlack, kWhite, kWhite, kWhite, kBlack, kWhite}},
      {"top-down rows", Build(topDown), {kRed, kBlue, kBlue, kBlue}},
      {"palette index past the palette", Build(Indexed(2, 1, {1, 2, 0, 0})), {}},
      {"last row's padding missing",
       Build(shortRows),
       {kWhite, kWhite, kBlack, kBlack, kWhite, kBlack}},
      {"rows cut short", Build(truncRows), {}},
      {"pixel offset past the file", Build(offsetPast), {}},
      {"height INT32_MIN", Build(Indexed(1, INT32_MIN, {0, 0, 0, 0})), {}},
      {"V5 alpha mask gives alpha",
       Build(Masked(32, 3, 124, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {1, 2, 3, 4})),
       {0x04030201},
       true},
      {"V5 BI_RGB keeps 32-bit opaque",
       Build(Masked(32, 0, 124, {0, 0, 0, 0xFF000000}, {1, 2, 3, 4})),
       {0xFF030201}},
      // The channel lookup tables assume contiguous masks.
      {"scattered mask bits", Build(Masked(32, 3, 40, {0x0101, 0, 0, 0}, {0, 0, 0, 0})), {}},
      {"OS/2 2.x compression 3 is Huffman, not bitfields",
       Build(Masked(16, 3, 64, {0xF800, 0x07E0, 0x001F, 0}, {0, 0})),
       {}},
      // RLE8: index 0 is blue, and pixels the stream skips keep that colour.
      {"RLE8 run, delta, absolute run",
       Build(Rle8({2, 1, 0, 2, 0, 1, 0, 3, 2, 1, 2, 0, 0, 1}, 5, 2)),
       {kBlue, kBlue, kWhite, kRed, kWhite, kRed, kRed, kBlue, kBlue, kBlue}},
      {"RLE8 run past the row end", Build(Rle8({5, 1, 0, 1})), {}},
      {"RLE8 absolute run past the row end", Build(Rle8({0, 5, 1, 1, 1, 1, 1, 0, 0, 1})), {}},
      {"RLE8 rows past the image end", Build(Rle8({0, 0, 0, 0, 1, 1, 0, 1})), {}},
      {"RLE8 delta past the row end", Build(Rle8({0, 2, 5, 0, 0, 1})), {}},
      {"RLE8 delta past the top", Build(Rle8({0, 2, 0, 3, 0, 1})), {}},
      {"RLE8 index past the palette", Build(Rle8({1, 3, 0, 1})), {}},
      {"RLE8 stream cut inside a row", Build(Rle8({4, 1, 0, 0, 2, 1})), {}},
      {"RLE8 last row ended, no end code",
       Build(Rle8({1, 1, 0, 0, 1, 2, 0, 0}, 1, 2)),
       {kWhite, kRed}},
      {"RLE4 nibbles and padded absolute run",
       Build(rle4),
       {kWhite, kRed, kWhite, kRed, kWhite, kRed, kWhite, kBlue, kRed, kWhite}},
      {"RLE canvas far beyond the file size", Build(rleBomb), {}},
  };
}

TEST(BmpDecode, HandMadeFiles) {
  for (const DecodeCase& c : DecodeCases()) {
    SCOPED_TRACE(c.name);
    DecodedBitmap out;
    const bool ok = DecodeBmp(c.file, out);
    ASSERT_EQ(ok, !c.expected.empty());
    if (!ok) {
      EXPECT_TRUE(out.argb.empty());
      continue;
    }
    EXPECT_EQ(out.argb, c.expected);
    EXPECT_EQ(out.hasAlpha, c.hasAlpha);
    EXPECT_EQ(std::uint64_t{out.width} * out.height, c.expected.size());
  }
}

// Every prefix of a valid file is refused; the one exception is an RLE stream
// that has closed its last row and lacks only the end-of-bitmap code.
TEST(BmpDecode, EveryTruncationIsRefused) {
  const BmpParts bitfields = Masked(32, 3, 124, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {1, 2, 3, 4});
  const BmpParts indexed = Indexed(4, 2, {0, 1, 1, 0, 1, 0, 0, 1});
  BmpParts os2 = indexed;
  os2.infoSize = 12;
  const std::vector<std::pair<Bytes, std::size_t>> files = {
      {Build(indexed), 0},
      {Build(os2), 0},
      {Build(bitfields), 0},
      {Build(Masked(16, 3, 40, {0xF800, 0x07E0, 0x001F, 0}, {0x21, 0x08})), 0},
      {Build(Rle8({4, 1, 0, 0, 0, 4, 1, 2, 1, 2, 0, 0, 0, 1})), 2},
  };
  for (const auto& [file, acceptedTail] : files) {
    DecodedBitmap out;
    ASSERT_TRUE(DecodeBmp(file, out));
    for (std::size_t n = 0; n + acceptedTail < file.size(); ++n) {
      EXPECT_FALSE(DecodeBmp(std::span(file.data(), n), out)) << n << " of " << file.size();
    }
  }
}

TEST(BmpEncode, RoundTripsEveryRowPadding) {
  for (const int bpp : {24, 32}) {
    for (std::uint32_t width = 1; width <= 5; ++width) {
      SCOPED_TRACE(testing::Message() << bpp << " bpp, width " << width);
      const std::uint32_t height = 3;
      Pixels argb(width * height);
      for (std::size_t i = 0; i < argb.size(); ++i) {
        argb[i] = static_cast<std::uint32_t>(i * 0x01030507u + 0x10203040u);
      }
      Bytes file;
      ASSERT_TRUE(EncodeBmp(width, height, bpp, argb, file));
      const std::size_t stride = (width * bpp / 8 + 3) / 4 * 4;
      ASSERT_EQ(file.size(), 54 + stride * height);
      EXPECT_EQ(file[34] | file[35] << 8, static_cast<int>(stride * height));  // biSizeImage
      // Zero padding keeps the output byte-for-byte reproducible.
      for (std::size_t row = 0; row < height; ++row) {
        for (std::size_t i = width * bpp / 8; i < stride; ++i) {
          EXPECT_EQ(file[54 + row * stride + i], 0);
        }
      }

      DecodedBitmap out;
      ASSERT_TRUE(DecodeBmp(file, out));
      ASSERT_EQ(out.width, width);
      ASSERT_EQ(out.height, height);
      // The decoder treats a 40-byte header's fourth byte as unused, so alpha
      // only shows in the stored bytes: the first stored pixel is the bottom-left.
      if (bpp == 32) {
        EXPECT_EQ(file[57], argb[(height - 1) * width] >> 24);
      }
      for (std::uint32_t& v : argb) v |= 0xFF000000;
      EXPECT_EQ(out.argb, argb);
    }
  }
}

TEST(BmpEncode, RefusesWhatItCannotWrite) {
  const Pixels four(4, 0xFF123456);
  Bytes file;
  EXPECT_FALSE(EncodeBmp(2, 2, 8, four, file));
  EXPECT_FALSE(EncodeBmp(2, 2, 16, four, file));
  EXPECT_FALSE(EncodeBmp(0, 2, 24, four, file));
  EXPECT_FALSE(EncodeBmp(2, 0, 24, four, file));
  EXPECT_FALSE(EncodeBmp(3, 2, 24, four, file));                // argb too short
  EXPECT_FALSE(EncodeBmp(1u << 16, 1u << 16, 24, four, file));  // 2^32 pixels: wraps in 32 bits
  EXPECT_TRUE(file.empty());
}

// ---- bmpsuite --------------------------------------------------------------

fs::path Suite() {
  return fs::path(TESSAREL_TESTDATA) / "bmpsuite";
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// FNV-1a 64 over R,G,B(,A) bytes per pixel, top row first, as the manifest has it.
std::uint64_t Fnv1a(const DecodedBitmap& b, bool withAlpha) {
  std::uint64_t h = 0xCBF29CE484222325u;
  for (const std::uint32_t v : b.argb) {
    const std::array<std::uint32_t, 4> bytes = {v >> 16, v >> 8, v, v >> 24};
    for (int i = 0; i < (withAlpha ? 4 : 3); ++i) h = (h ^ (bytes[i] & 0xFF)) * 0x100000001B3u;
  }
  return h;
}

struct Expected {
  std::uint32_t width, height;
  bool withAlpha;
  std::uint64_t hash;
};

std::map<std::string, Expected> Manifest() {
  std::ifstream in(fs::path(TESSAREL_SOURCE_DIR) / "tests" / "data" / "bmp_manifest.txt");
  std::map<std::string, Expected> result;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, channels;
    Expected e{};
    fields >> name >> e.width >> e.height >> channels >> std::hex >> e.hash;
    e.withAlpha = channels == "rgba";
    result[name] = e;
  }
  return result;
}

// Embedded JPEG and PNG are not BMP pixels; the only q/ files we refuse.
const std::set<std::string> kRefusedQuestionable = {"q/rgb24jpeg.bmp", "q/rgb24png.bmp"};

TEST(BmpSuite, GoodAndQuestionableFilesMatchImageMagick) {
  if (!fs::is_directory(Suite())) GTEST_SKIP() << "no " << Suite();
  const auto manifest = Manifest();
  ASSERT_FALSE(manifest.empty()) << "bmp_manifest.txt not found beside the test";
  for (const char* folder : {"g", "q"}) {
    for (const auto& entry : fs::directory_iterator(Suite() / folder)) {
      const std::string name = std::string(folder) + "/" + entry.path().filename().string();
      SCOPED_TRACE(name);
      DecodedBitmap out;
      const bool ok = DecodeBmp(ReadFile(entry.path()), out);
      if (kRefusedQuestionable.count(name) != 0) {
        EXPECT_FALSE(ok);
        continue;
      }
      const auto it = manifest.find(name);
      ASSERT_NE(it, manifest.end()) << "missing from bmp_manifest.txt";
      ASSERT_TRUE(ok);
      EXPECT_EQ(out.width, it->second.width);
      EXPECT_EQ(out.height, it->second.height);
      EXPECT_EQ(Fnv1a(out, it->second.withAlpha), it->second.hash);
    }
  }
}

TEST(BmpSuite, BadFilesAreRefusedUnlessOnlyIrrelevantFieldsAreWrong) {
  if (!fs::is_directory(Suite())) GTEST_SKIP() << "no " << Suite();
  // These damage a field the pixels do not depend on; the picture is intact and
  // decodes as the good file named. Every other b/ file must be refused.
  const std::map<std::string, std::string> accepted = {
      {"badbitssize.bmp", "g/pal1.bmp"},  // biSizeImage: redundant for BI_RGB
      {"baddens1.bmp", "g/pal1.bmp"},     // resolution fields
      {"baddens2.bmp", "g/pal1.bmp"},
      {"badfilesize.bmp", "g/pal1.bmp"},     // bfSize: often wrong in the wild
      {"badpalettesize.bmp", "g/pal8.bmp"},  // biClrUsed: clamped to what fits
  };
  for (const auto& entry : fs::directory_iterator(Suite() / "b")) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    DecodedBitmap out;
    const bool ok = DecodeBmp(ReadFile(entry.path()), out);
    const auto it = accepted.find(name);
    if (it == accepted.end()) {
      EXPECT_FALSE(ok);
      continue;
    }
    ASSERT_TRUE(ok);
    DecodedBitmap good;
    ASSERT_TRUE(DecodeBmp(ReadFile(Suite() / it->second), good));
    EXPECT_EQ(out.argb, good.argb);
  }
}

}  // namespace
}  // namespace tessarel
