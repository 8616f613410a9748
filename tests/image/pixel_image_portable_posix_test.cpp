#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "convert/bmp_pair.h"
#include "convert/raw_file.h"
#include "platform/read_only_file.h"
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

// Pictures are read a band of rows at a time: each band once and in one call,
// whatever reads ask for its rows. Writes that fail part way (at a file-size
// limit) and a file that shrinks after it was opened fail cleanly: the rows
// still there read, no file stands, and no descriptor stays open.
TEST(StreamedPictures, ReadOnceAndFailCleanly) {
  testing::TempDir dir;
  const auto descriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
  };
  const auto open = descriptors();
  {
    const std::uint32_t w = 300, h = 1000;  // the colour plane in three bands of 436 rows
    std::vector<std::uint8_t> raw(2 * w * h + w * h / 8);
    for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = std::uint8_t(i / (2 * w));  // by row
    testing::WriteBytes(dir / "pic(300x1000).raw", raw);
    PixelImagePtr picture, mask;
    ASSERT_TRUE(LoadRawFile(dir / "pic(300x1000).raw", "(@wx@h)", picture, mask));
    std::vector<std::uint32_t> first(w), row(w);
    auto before = IoCounts();
    for (std::uint32_t y = 0; y < h; ++y) {
      picture->GetRow(std::int32_t(y), row);
      mask->GetRow(std::int32_t(y), std::span(row).first(y % w));
    }
    auto after = IoCounts();
    const std::uint64_t read = after["rchar:"] - before["rchar:"];
    EXPECT_TRUE(read >= raw.size() && read < raw.size() + 4096) << read << " of " << raw.size();
    EXPECT_LT(after["syscr:"] - before["syscr:"], 16u);

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
    EXPECT_FALSE(SaveBmpPair(dir / "copy.raw", bmp.get(), nullptr));
    PixelImagePtr blank = CreateBlankImage(1, 1, PixelFormat24bppRGB);
    EXPECT_FALSE(SaveBmpPair(dir / "pic.raw", blank.get(), picture.get()));
    // Converted to RAW, the rows lost would repeat the last pixel read.
    EXPECT_FALSE(SaveRawFile(dir / "b.bmp", bmp.get(), bmp.get(), "(@wx@h)"));
    EXPECT_FALSE(ReadOnlyFile().Open(dir.path().string()));
    ReadOnlyFile file;
    std::uint8_t byte = 0;
    EXPECT_TRUE(file.Open(dir / "plain.bmp") && !file.ReadAt(~std::uint64_t{0}, {&byte, 1}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  }
  EXPECT_EQ(descriptors(), open);
}

}  // namespace
}  // namespace tessarel
