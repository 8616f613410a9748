// The Win32 file and directory layer where Windows' rules differ from POSIX:
// letter case, both separators, devices, and what a search returns.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/directory.h"
#include "platform/file_io.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

std::vector<std::string> Entries(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Win32Files, EverySpellingOfOneFileIsTheSameFile) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "a.raw", {1});
  testing::WriteBytes(dir / "b.raw", {1});
  std::filesystem::create_directory(dir.path() / "sub");
  const std::string a = dir / "a.raw";
  const std::string root = dir.path().string();
  EXPECT_TRUE(IsSameFile(a, a));
  EXPECT_TRUE(IsSameFile(a, root + "/A.RAW"));
  EXPECT_TRUE(IsSameFile(a, root + "\\sub\\..\\a.raw"));
  EXPECT_FALSE(IsSameFile(a, dir / "b.raw"));
  EXPECT_FALSE(IsSameFile(a, dir / "missing.raw"));
  EXPECT_FALSE(IsSameFile(dir / "missing.raw", dir / "missing.raw"));
}

TEST(Win32Files, OnlyDiskFilesAreRead) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "data.bin", {0, 13, 10, 26, 255});
  testing::WriteBytes(dir / "empty.bin", {});
  ReadOnlyFile data, empty;
  std::vector<std::uint8_t> bytes(5);
  ASSERT_TRUE(data.Open(dir / "data.bin"));
  ASSERT_TRUE(data.ReadAt(0, bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0, 13, 10, 26, 255}));  // binary, no text mode
  EXPECT_TRUE(empty.Open(dir / "empty.bin"));
  EXPECT_EQ(empty.Size(), 0u);
  // A device would never end (CON) or is no file (NUL); a directory is no file either.
  for (const std::string& path :
       {std::string("NUL"), std::string("CON"), dir.path().string(), dir / "missing.bin"}) {
    SCOPED_TRACE(path);
    ReadOnlyFile file;
    EXPECT_FALSE(file.Open(path));
  }
  EXPECT_TRUE(PathExists(dir.path().string()));
  EXPECT_TRUE(PathExists(dir / "DATA.BIN"));
  EXPECT_FALSE(PathExists(dir / "missing.bin"));
}

TEST(Win32Files, AtomicWritesReplaceOrLeaveEverythingAsItWas) {
  testing::TempDir dir;
  const std::vector<std::uint8_t> fresh = {7, 8, 9};
  testing::WriteBytes(dir / "old.raw", {1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(WriteFileAtomically(dir / "old.raw", fresh));
  EXPECT_EQ(testing::ReadBytes(dir / "old.raw"), fresh);
  // Relative to the working directory, which the temporary must share.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  EXPECT_TRUE(WriteFileAtomically("here.raw", fresh));
  std::filesystem::current_path(previous);
  EXPECT_EQ(testing::ReadBytes(dir / "here.raw"), fresh);

  std::filesystem::create_directory(dir.path() / "taken");
  EXPECT_FALSE(WriteFileAtomically(dir / "taken", fresh));
  EXPECT_FALSE(WriteFileAtomically(dir / "no\\such\\dir.raw", fresh));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "taken"));
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"here.raw", "old.raw", "taken"}));
}

TEST(Win32Directory, SearchMatchesAsWindowsDoesInByteOrder) {
  testing::TempDir dir;
  for (const char* name : {"a.raw", "C.RAW", "B.raw", "x.bmp", "a_mask.bmp"}) {
    testing::WriteBytes(dir / name, {0});
  }
  std::filesystem::create_directory(dir.path() / "d.raw");
  const std::string root = dir.path().string();
  // Byte order, where capitals come first, not the file system's own order.
  const std::vector<std::string> raws = {"B.raw", "C.RAW", "a.raw", "d.raw"};
  EXPECT_EQ(FindMatchingNames(root + "\\*.raw"), raws);
  EXPECT_EQ(FindMatchingNames(root + "/*.RAW"), raws);
  EXPECT_EQ(FindMatchingNames(root + "\\b.RAW"), std::vector<std::string>{"B.raw"});
  const std::vector<std::string> all = FindMatchingNames(root + "\\*");
  EXPECT_EQ(std::count(all.begin(), all.end(), "."), 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), ".."), 1);
  EXPECT_EQ(all.size(), 8u);
  EXPECT_TRUE(FindMatchingNames(root + "\\*.gif").empty());
  EXPECT_TRUE(FindMatchingNames(root + "\\").empty());
  EXPECT_TRUE(FindMatchingNames("").empty());
}

TEST(Win32Directory, OnlyTheLastLevelIsCreated) {
  testing::TempDir dir;
  EXPECT_TRUE(CreateOutputDirectory(dir / "out\\"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "out"));
  EXPECT_TRUE(CreateOutputDirectory(dir / "out"));
  EXPECT_FALSE(CreateOutputDirectory(dir / "missing\\out"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
  EXPECT_TRUE(CreateOutputDirectory(""));
}

}  // namespace
}  // namespace tessarel
