// What a batch run promises on Linux whatever the names and faults: nothing
// outside the output directory, a BMP pair whole or not at all, no stray files.
#include <gtest/gtest.h>

#include <filesystem>

#include "test_support/test_support.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::RunTool;
using testing::WriteBytes;

// A 2 x 2 RAW file, its unused bits zero so that it converts back to itself.
const std::vector<std::uint8_t> kRaw = {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0, 0x50, 0};

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(BatchSafety, ListedNameIsOneComponent) {
  testing::TempDir dir;
  fs::create_directories(dir.path() / "w/in");
  fs::create_directory(dir.path() / "victim");
  const std::string name = "..\\..\\victim\\v(2x2).raw";
  WriteBytes(dir / ("w/in/" + name), kRaw);
  WriteBytes(dir / "victim/v(2x2).raw", {1, 2, 3});
  EXPECT_EQ(RunTool({"-c:BMP", "in/*.raw", "out"}, dir / "w").output, "in/" + name + " -OK\n");
  EXPECT_EQ(Entries(dir.path() / "victim"), std::vector<std::string>{"v(2x2).raw"});
  EXPECT_EQ(
      Entries(dir.path() / "w/out"),
      (std::vector<std::string>{"..\\..\\victim\\v(2x2).bmp", "..\\..\\victim\\v(2x2)_mask.bmp"}));
  // The listed file was read, its size found, and its mask found again.
  EXPECT_EQ(RunTool({"-c:RAW", "out/*.bmp", "back"}, dir / "w").output,
            "out/..\\..\\victim\\v(2x2).bmp -OK\n");
  EXPECT_EQ(ReadBytes(dir / ("w/back/" + name)), kRaw);
}

TEST(BatchSafety, PairIsWrittenWholeOrNotAtAll) {
  testing::TempDir dir;
  fs::create_directory(dir.path() / "in");
  // A mask name past the file system's limit: no picture is left alone.
  const std::string longName = std::string(245, 'n') + "(2x2).raw";
  WriteBytes(dir / ("in/" + longName), kRaw);
  EXPECT_EQ(RunTool({"-c:BMP", "in/n*.raw", "long"}, dir.path()).output,
            "long/" + longName + " -FAILD\n");
  EXPECT_TRUE(fs::is_empty(dir.path() / "long"));

  // Out of room while rewriting: the older pair stays byte for byte, and no
  // temporary is left, also when the process is killed mid-write.
  const std::size_t rawBytes = 300 * 300 * 2 + 300 * 300 / 8;
  WriteBytes(dir / "in/p(300x300).raw", std::vector<std::uint8_t>(rawBytes));
  ASSERT_EQ(RunTool({"-c:BMP", "in/p*.raw", "out"}, dir.path()).output, "in/p(300x300).raw -OK\n");
  const std::vector<std::string> pair = Entries(dir.path() / "out");
  const std::vector<std::uint8_t> picture = ReadBytes(dir / "out/p(300x300).bmp");
  const std::vector<std::uint8_t> mask = ReadBytes(dir / "out/p(300x300)_mask.bmp");
  WriteBytes(dir / "in/p(300x300).raw", std::vector<std::uint8_t>(rawBytes, 9));
  for (const bool kill : {false, true}) {
    const testing::FileSizeLimit limit{100000, kill};
    EXPECT_EQ(RunTool({"-c:BMP", "in/p*.raw", "out"}, dir.path(), limit).output,
              kill ? "" : "out/p(300x300).raw -FAILD\n");
    EXPECT_EQ(Entries(dir.path() / "out"), pair);
    EXPECT_EQ(ReadBytes(dir / "out/p(300x300).bmp"), picture);
    EXPECT_EQ(ReadBytes(dir / "out/p(300x300)_mask.bmp"), mask);
  }
}

TEST(BatchSafety, BrokenLinkIsAnEntryWithOrWithoutWildcard) {
  testing::TempDir dir;
  fs::create_directory(dir.path() / "dl");
  fs::create_symlink("nowhere", dir.path() / "dl/dead(2x2).raw");
  for (const char* pattern : {"dl/dead(2x2).raw", "dl/*.raw"}) {
    EXPECT_EQ(RunTool({"-c:BMP", pattern, "o"}, dir.path()).output,
              "dl/dead(2x2).raw -ERROR LOAD\n");
  }
}

}  // namespace
}  // namespace tessarel
