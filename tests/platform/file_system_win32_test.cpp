// Where Windows' rules differ from POSIX: letter case, both separators,
// devices, the system's search, and names outside ASCII.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/protected_files.h"
#include "convert/bmp_pair.h"
#include "files/read_only_file.h"
#include "platform/directory.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

std::vector<std::string> Names(const std::string& pattern) {
  const NameList names = FindMatchingNames(pattern);
  return {names.begin(), names.end()};
}

// GDI+ is started once for the test program, as once per run of the tool:
// Windows' GDI+ refuses every call before GdiplusStartup, Wine's does not.
class ImagingEnvironment : public ::testing::Environment {
  void SetUp() override { session_ = std::make_unique<ImagingSession>(); }
  void TearDown() override { session_.reset(); }
  std::unique_ptr<ImagingSession> session_;
};
[[maybe_unused]] ::testing::Environment* const kImaging =
    ::testing::AddGlobalTestEnvironment(new ImagingEnvironment);

TEST(Win32Files, WindowsRules) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
  for (const char* name : {"a.raw", "B.raw"}) testing::WriteBytes(dir / name, {});
  std::filesystem::create_directory(dir.path() / "sub");
  ProtectedFiles input, missing;
  input.SetInput(dir / "a.raw");
  missing.SetInput(dir / "c");
  EXPECT_TRUE(input.Protects(root + "/A.RAW") && input.Protects(root + "\\sub\\..\\a.raw"));
  EXPECT_FALSE(input.Protects(dir / "B.raw") || missing.Protects(dir / "c"));
  // Devices are no files: CON would never end.
  for (const std::string& path : {std::string("NUL"), std::string("CON"), root, dir / "c"}) {
    EXPECT_FALSE(ReadOnlyFile().Open(path)) << path;
  }
  // Letter case ignored, either separator, "." and ".." when they match; byte order.
  EXPECT_EQ(Names(root + "\\*.RAW"), (std::vector<std::string>{"B.raw", "a.raw"}));
  EXPECT_EQ(Names(root + "/b.RAW"), std::vector<std::string>{"B.raw"});
  EXPECT_EQ(Names(root + "\\*"), (std::vector<std::string>{".", "..", "B.raw", "a.raw", "sub"}));
  EXPECT_TRUE(FindMatchingNames(root + "\\").empty() && FindMatchingNames("").empty());
}

// 0x80 is the euro sign in the usual ANSI code page, but U+0080 if the bytes
// were merely widened: GDI+ must read the file the *A functions name. The
// path is joined by hand: std::filesystem would convert it.
TEST(Win32Files, NamesOutsideAsciiNameOneFileForEveryLayer) {
  testing::TempDir dir;
  const std::string name = "caf\xE9\x80.bmp", path = dir.path().string() + "\\" + name;
  ASSERT_TRUE(SaveBmpPair(path, CreateBlankImage(2, 2, Channels::Rgb).get(), nullptr));
  EXPECT_EQ(Names(dir.path().string() + "\\*.bmp"), std::vector<std::string>{name});
  EXPECT_EQ(LoadImageFromFile(path)->Kind(), PictureKind::Bmp);
}

}  // namespace
}  // namespace tessarel
