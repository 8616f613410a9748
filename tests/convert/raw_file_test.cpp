// RAW files, and the rules about names: tables of cases in tests/data/units.
#include "convert/raw_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "codec/codec_tables.h"
#include "convert/bmp_pair.h"
#include "convert/picture_source.h"
#include "convert/size_pattern.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

// Every file and directory under raw_load/loads loads; none under refused does.
TEST(LoadRawFile, OnlyNamesWithASizeAndFilesWithBothPlanesLoad) {
  const std::string data = TESSAREL_SOURCE_DIR "/tests/data/units/raw_load/";
  for (const std::string verdict : {"loads", "refused"}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data + verdict)) {
      PixelImagePtr picture, mask;
      EXPECT_EQ(LoadRawFile(entry.path().string(), "(@wx@h)", picture, mask), verdict == "loads")
          << entry.path();
    }
  }
}

// Rows are read as they are converted: a file cut short under the picture
// fails in either plane, and no output stands.
TEST(RawFile, AFileCutShortAfterLoadingFails) {
  for (const std::uintmax_t kept : {0, 16}) {  // nothing; the colour plane alone
    testing::TempDir dir;
    testing::WriteBytes(dir / "cut(4x2).raw", std::vector<std::uint8_t>(18, 0x5A));
    PixelImagePtr picture, mask;
    ASSERT_TRUE(LoadRawFile(dir / "cut(4x2).raw", "(@wx@h)", picture, mask));
    std::filesystem::resize_file(dir / "cut(4x2).raw", kept);
    EXPECT_FALSE(SaveBmpPair(dir / "out.raw", picture.get(), mask.get())) << kept;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.bmp") ||
                 std::filesystem::exists(dir / "out_mask.bmp"));
  }
}

// Larger than the bands and pieces it is read and written in, with rows that
// are no whole bytes of the mask plane: RAW -> BMP pair -> RAW gives the same
// bytes, the mask plane made beside the colour plane (two images) or after it
// (one image as both).
TEST(RawFile, BigPicturesConvertExactlyBothWays) {
  testing::TempDir dir;
  const std::size_t w = 1001, h = 2200;
  std::vector<std::uint8_t> raw(2 * w * h + w * h / 8 + 1);  // odd planes: a parity byte
  std::uint32_t seed = 1;
  for (std::uint8_t& byte : raw) byte = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
  raw.back() = 0;
  testing::WriteBytes(dir / "big(1001x2200).raw", raw);
  PixelImagePtr picture, mask, bmpPicture, bmpMask;
  ASSERT_TRUE(LoadRawFile(dir / "big(1001x2200).raw", "(@wx@h)", picture, mask));
  ASSERT_TRUE(SaveBmpPair(dir / "big.raw", picture.get(), mask.get()));
  ASSERT_TRUE(LoadSourceImage(dir / "big.bmp", bmpPicture, bmpMask));
  ASSERT_TRUE(SaveRawFile(dir / "back.bmp", bmpPicture.get(), bmpMask.get(), "(@wx@h)"));
  EXPECT_EQ(testing::ReadBytes(dir / "back(1001x2200).raw"), raw);
  ASSERT_TRUE(SaveRawFile(dir / "one.bmp", bmpMask.get(), bmpMask.get(), "(@wx@h)"));
  ASSERT_TRUE(SaveRawFile(dir / "two.bmp", bmpMask.get(),
                          LoadImageFromFile(dir / "big_mask.bmp").get(), "(@wx@h)"));
  EXPECT_EQ(testing::ReadBytes(dir / "one(1001x2200).raw"),
            testing::ReadBytes(dir / "two(1001x2200).raw"));
}

// An opaque black image whose rows note the threads that produced them.
std::pair<PixelImagePtr, std::shared_ptr<std::set<std::thread::id>>> NotingThreads(int w, int h) {
  auto threads = std::make_shared<std::set<std::thread::id>>();
  return {CreateImageFromRows(w, h, Channels::Rgb,
                              [threads](std::uint32_t, std::span<std::uint32_t> argb) {
                                threads->insert(std::this_thread::get_id());
                                std::ranges::fill(argb, 0xFF000000u);
                                return true;
                              }),
          threads};
}

// Where the imaging layer does not hold images whole, a pair of at least
// 65536 pixels is converted on two threads, the mask beside the picture,
// either way; a smaller pair, one image passed as both and a lone image stay
// on the calling thread.
TEST(RawFile, BigPairsAreConvertedOnTwoThreads) {
  testing::TempDir dir;
  const std::set<std::thread::id> here{std::this_thread::get_id()};
  for (const auto& [w, h, twoThreads] :
       {std::tuple{256, 256, !ImagesHeldWhole()}, std::tuple{65535, 1, false}}) {
    auto [picture, pictureThreads] = NotingThreads(w, h);
    auto [mask, maskThreads] = NotingThreads(w, h);
    ASSERT_TRUE(SaveBmpPair(dir / "pair.raw", picture.get(), mask.get()));
    ASSERT_TRUE(SaveRawFile(dir / "pair.bmp", picture.get(), mask.get(), "(@wx@h)"));
    EXPECT_EQ(*pictureThreads, here) << w;
    EXPECT_EQ(maskThreads->contains(*here.begin()), !twoThreads) << w;
  }
  auto [one, oneThreads] = NotingThreads(256, 256);
  ASSERT_TRUE(SaveBmpPair(dir / "one.raw", one.get(), one.get()));
  ASSERT_TRUE(SaveRawFile(dir / "one.bmp", one.get(), one.get(), "(@wx@h)"));
  ASSERT_TRUE(SaveBmpPair(dir / "alone.raw", nullptr, one.get()));
  EXPECT_EQ(*oneThreads, here);
}

// A row a line, its fields split at '|'.
std::vector<std::vector<std::string>> Table(const std::string& name, std::size_t fields) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : testing::TableLines("units/" + name)) {
    std::istringstream split(line + "|");
    auto& row = rows.emplace_back();
    for (std::string field; std::getline(split, field, '|');) row.push_back(field);
    EXPECT_EQ(row.size(), fields) << name << ": " << line;
    row.resize(fields);
  }
  return rows;
}

TEST(Names, SizeInAName) {
  for (const auto& c : Table("size_in_name.txt", 5)) {
    const SizeFromName s = ParseSizeFromName(c[0], c[1]);
    EXPECT_TRUE(s.found == (c[2] == "1") && s.width == std::stoi(c[3]) &&
                s.height == std::stoi(c[4]))
        << c[0] << " by " << c[1] << ": " << s.found << " " << s.width << " " << s.height;
  }
}

TEST(Names, WrittenRawFilesTellTheirSize) {
  for (const auto& c : Table("raw_names.txt", 5)) {
    EXPECT_EQ(RawOutputPath(c[0], std::stoi(c[2]), std::stoi(c[3]), c[1]), c[4]) << c[0];
  }
}

}  // namespace
}  // namespace tessarel
