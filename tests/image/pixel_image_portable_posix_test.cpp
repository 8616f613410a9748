#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "convert/bmp_pair.h"
#include "convert/raw_file.h"
#include "files/read_only_file.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

std::map<std::string, std::uint64_t> IoCounts() {
  std::ifstream in("/proc/self/io");
  std::map<std::string, std::uint64_t> counts;
  std::string key;
  for (std::uint64_t n = 0; in >> key >> n;) counts[key] = n;
  return counts;
}

std::ptrdiff_t Entries(const std::filesystem::path& dir) {
  return std::distance(std::filesystem::directory_iterator(dir), {});
}

// pic(300x1000).raw, each byte its row's number, loaded; every test ends with
// the descriptors it started with.
class StreamedPictures : public ::testing::Test {
 protected:
  static constexpr std::uint32_t w = 300, h = 1000;  // the colour plane in three bands of 436 rows
  void SetUp() override {
    for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = std::uint8_t(i / (2 * w));
    testing::WriteBytes(dir / "pic(300x1000).raw", raw);
    ASSERT_TRUE(LoadRawFile(dir / "pic(300x1000).raw", "(@wx@h)", picture, mask));
  }
  void TearDown() override {
    picture.reset();
    mask.reset();
    EXPECT_EQ(Entries("/proc/self/fd"), open);
  }
  const std::ptrdiff_t open = Entries("/proc/self/fd");
  testing::TempDir dir;
  std::vector<std::uint8_t> raw = std::vector<std::uint8_t>(2 * w * h + w * h / 8);
  PixelImagePtr picture, mask;
};

// Each band once and in one call, whatever reads ask for its rows.
TEST_F(StreamedPictures, EachBandIsReadOnce) {
  std::vector<std::uint32_t> row(w);
  auto before = IoCounts();
  for (std::uint32_t y = 0; y < h; ++y) {
    picture->GetRow(std::int32_t(y), row);
    mask->GetRow(std::int32_t(y), std::span(row).first(y % w));
  }
  auto after = IoCounts();
  const std::uint64_t read = after["rchar:"] - before["rchar:"];
  EXPECT_TRUE(read >= raw.size() && read < raw.size() + 4096) << read << " of " << raw.size();
  EXPECT_LT(after["syscr:"] - before["syscr:"], 16u);
}

TEST_F(StreamedPictures, WritesStoppedByAFileSizeLimitLeaveNoFile) {
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const rlimit low{64 * 1024, old.rlim_max};  // less than one 256 KiB piece
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  const bool limited = setrlimit(RLIMIT_FSIZE, &low) == 0;
  const bool saved = SaveBmpPair(dir / "a.raw", picture.get(), nullptr) ||
                     SaveRawFile(dir / "b.bmp", picture.get(), mask.get(), "(@wx@h)");
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, handler);
  EXPECT_TRUE(limited && !saved);
  EXPECT_EQ(Entries(dir.path()), 1);
}

// The rows still there read; those lost fail, and nothing is made from them.
TEST_F(StreamedPictures, AFileThatShrinksAfterOpeningFailsCleanly) {
  std::vector<std::uint32_t> first(w), row(w);
  ASSERT_TRUE(SaveBmpPair(dir / "plain.raw", picture.get(), nullptr));
  PixelImagePtr bmp = LoadImageFromFile(dir / "plain.bmp");
  ASSERT_EQ(picture->GetRow(0, first), w);
  std::filesystem::resize_file(dir / "pic(300x1000).raw", 2 * w * 500);
  std::filesystem::resize_file(dir / "plain.bmp", 2 * w * 500);
  EXPECT_EQ(picture->GetRow(600, row), 0u);
  EXPECT_EQ(picture->GetRow(600, std::span(row).first(1)), 0u);
  EXPECT_EQ(picture->GetRow(0, row), w);  // read again, not what the failed read left
  EXPECT_EQ(row, first);
  EXPECT_EQ(bmp->GetRow(h - 1, row), w);  // bottom-up: the file's first row
  EXPECT_EQ(bmp->GetRow(0, row), 0u);
  // Converted to RAW, the rows lost would repeat the last pixel read.
  EXPECT_FALSE(SaveRawFile(dir / "b.bmp", bmp.get(), bmp.get(), "(@wx@h)"));
  EXPECT_FALSE(SaveBmpPair(dir / "copy.raw", bmp.get(), nullptr));
  PixelImagePtr blank = CreateBlankImage(1, 1, Channels::Rgb);
  EXPECT_FALSE(SaveBmpPair(dir / "pic.raw", blank.get(), picture.get()));
  EXPECT_FALSE(ReadOnlyFile().Open(dir.path().string()));
  ReadOnlyFile file;
  std::uint8_t byte = 0;
  EXPECT_TRUE(file.Open(dir / "plain.bmp") && !file.ReadAt(~std::uint64_t{0}, {&byte, 1}));
  EXPECT_EQ(Entries(dir.path()), 2);
}

// A picture decoded whole (RLE here) takes pixels set on any row, and saves them.
TEST(DecodedPictures, TakePixelsOnEveryRowAndSaveThem) {
  testing::TempDir dir;
  PixelImagePtr rle =
      LoadImageFromFile(testing::TestDataDir() + "/bmp-cases/rle8-run-delta-absolute.bmp");
  const std::uint32_t w = rle->Width(), h = rle->Height();
  std::vector<std::uint32_t> set(w), row(w);
  ASSERT_EQ(rle->GetRow(std::int32_t(h - 1), set), w);
  for (std::uint32_t& pixel : set) pixel = ~pixel | 0xFF000000u;
  rle->SetRow(std::int32_t(h - 1), set);
  ASSERT_TRUE(rle->SaveBmp(dir / "saved.bmp"));
  PixelImagePtr saved = LoadImageFromFile(dir / "saved.bmp");
  for (std::int32_t y = 0; y < std::int32_t(h); ++y) {
    std::vector<std::uint32_t> before(w);
    EXPECT_EQ(rle->GetRow(y, before), w);
    EXPECT_EQ(saved->GetRow(y, row), w);
    EXPECT_EQ(row, before) << y;
  }
  EXPECT_EQ(row, set);
}

}  // namespace
}  // namespace tessarel
