// Codec tests as tables in tests/data, one case a line; their scripts say what each column means.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "codec/decoded_bitmap.h"
#include "test_support/test_support.h"

namespace tessarel::testing {

// A line opening with "size32 " or "size64 " holds only where size_t has that
// many bits, and is read without that word: sizes near 2^32 bytes fit the
// memory arithmetic of one build and not the other's.
inline std::vector<std::string> TableLines(const std::string& table) {
  std::ifstream in(TestDataDir() + "/" + table);
  std::vector<std::string> lines;
  const std::string own = "size" + std::to_string(8 * sizeof(std::size_t)) + " ";
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("size32 ") || line.starts_with("size64 ")) {
      if (!line.starts_with(own)) continue;
      line.erase(0, own.size());
    }
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  EXPECT_FALSE(lines.empty()) << table;
  return lines;
}

// FILE refused ..., or FILE WIDTH HEIGHT CHANNELS FNV1A64 ...; with
// everyPrefixRefused, no accepted file may be cut short and still decode,
// except by the bytes its "tail N" says may go.
// decode takes the file's bytes, or else its path. A row ending in
// "posix-only REASON" is left out on Windows, where GDI+ decodes.
template <class Decode>
void CheckDecoderTable(const std::string& table, Decode decode, bool everyPrefixRefused = false) {
  const auto run = [&](const std::string& path, std::span<const std::uint8_t> file,
                       DecodedBitmap& out) {
    if constexpr (std::is_invocable_v<Decode, std::span<const std::uint8_t>, DecodedBitmap&>)
      return decode(file, out);
    else
      return decode(path, out);
  };
  for (const std::string& line : TableLines(table)) {
    SCOPED_TRACE(line);
    std::istringstream fields(line);
    std::string name, width, height, channels;
    std::uint64_t hash = 0;
    fields >> name >> width >> height >> channels >> std::hex >> hash >> std::dec;
    std::size_t tail = 0;  // "tail N": the file's last N bytes may be cut off
    bool here = true;
    for (std::string word; fields >> word;) {
      if (word == "tail") fields >> tail;
      here = here && (word != "posix-only" || std::string(kPlatform) == "posix");
    }
    if (!here) continue;
    const std::string path = TestDataDir() + "/" + name;
    const std::vector<std::uint8_t> file = ReadBytes(path);
    ASSERT_FALSE(file.empty());
    DecodedBitmap out;
    if (width == "refused") {
      EXPECT_FALSE(run(path, file, out));
      EXPECT_TRUE(out.argb.empty() && out.width == 0 && out.height == 0);
      continue;
    }
    if (!run(path, file, out)) {
      ADD_FAILURE() << "refused";
      continue;
    }
    EXPECT_EQ(std::to_string(out.width) + " " + std::to_string(out.height), width + " " + height);
    const bool withAlpha = channels != "rgb", visible = channels == "visible";
    constexpr std::uint64_t kPrime = 0x100000001B3u;
    std::uint64_t h = 0xCBF29CE484222325u;
    bool opaque = true;
    for (const std::uint32_t v : out.argb) {
      opaque = opaque && v >> 24 == 0xFF;
      const std::uint32_t seen = visible && v >> 24 == 0 ? 0 : v;
      h = (((((h ^ (seen >> 16 & 0xFF)) * kPrime) ^ (seen >> 8 & 0xFF)) * kPrime) ^ (seen & 0xFF)) *
          kPrime;
      if (withAlpha) h = (h ^ seen >> 24) * kPrime;
    }
    EXPECT_EQ(h, hash) << std::hex << h;
    EXPECT_TRUE(out.hasAlpha || opaque);
    for (std::size_t n = 0; everyPrefixRefused && n + tail < file.size(); ++n) {
      ASSERT_FALSE(run(path, std::span(file).first(n), out)) << n << " bytes";
    }
  }
}

}  // namespace tessarel::testing
