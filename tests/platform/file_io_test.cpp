// Files written piece by piece and read at offsets: the two ways big
// pictures reach the disk without being held whole.
#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support/test_support.h"

namespace tessarel {
namespace {

std::size_t EntriesIn(const std::filesystem::path& dir) {
  return std::size_t(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(FileIo, PiecesMakeTheFileOrNothingAtAll) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "out.bin", {9, 9});
  const std::vector<std::uint8_t> a = {1, 2, 3}, b = {}, c = {4};
  EXPECT_TRUE(WriteFileAtomically(
      dir / "out.bin", [&](const WriteChunk& write) { return write(a) && write(b) && write(c); }));
  EXPECT_EQ(testing::ReadBytes(dir / "out.bin"), (std::vector<std::uint8_t>{1, 2, 3, 4}));

  // Abandoned after a piece was written: the old file stays, no temporary is left.
  EXPECT_FALSE(WriteFileAtomically(dir / "out.bin",
                                   [&](const WriteChunk& write) { return write(c) && false; }));
  EXPECT_EQ(testing::ReadBytes(dir / "out.bin"), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  EXPECT_FALSE(WriteFileAtomically(dir / "missing/out.bin",
                                   [&](const WriteChunk& write) { return write(a); }));
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(FileIo, ReadsAtOffsetsOnlyWithinTheFile) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "data.bin", {10, 11, 12, 13, 14});
  ReadOnlyFile file;
  ASSERT_TRUE(file.Open(dir / "data.bin"));
  EXPECT_FALSE(file.Open(dir / "data.bin"));  // holds one file
  EXPECT_EQ(file.Size(), 5u);
  std::vector<std::uint8_t> two(2);
  EXPECT_TRUE(file.ReadAt(3, two));
  EXPECT_EQ(two, (std::vector<std::uint8_t>{13, 14}));
  EXPECT_TRUE(file.ReadAt(0, two));
  EXPECT_EQ(two, (std::vector<std::uint8_t>{10, 11}));
  for (std::uint64_t offset : {std::uint64_t{4}, std::uint64_t{5}, UINT64_MAX - 1, UINT64_MAX}) {
    EXPECT_FALSE(file.ReadAt(offset, two)) << offset;
  }
  EXPECT_TRUE(file.ReadAt(5, {}));

  ReadOnlyFile other;
  EXPECT_FALSE(other.Open(dir / "missing.bin"));
  EXPECT_FALSE(other.Open(dir.path().string()));  // a directory is no file
  EXPECT_FALSE(other.ReadAt(0, two));
}

}  // namespace
}  // namespace tessarel
