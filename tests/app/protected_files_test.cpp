// A file the run placed is known while its name reaches it, and only then.
#include "app/protected_files.h"

#include <gtest/gtest.h>

#include "test_support/test_support.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;

TEST(ProtectedFiles, KnowsAPlacedFileWhileItsNameReachesIt) {
  testing::TempDir dir;
  const std::string placed = dir / "a.bmp", other = dir / "b.bmp";
  testing::WriteBytes(placed, {1});
  ProtectedFiles files(dir.path().string(), dir.path().string());
  files.Placed(placed);
  EXPECT_TRUE(files.Protects(placed));
  EXPECT_FALSE(files.Protects(other));

  // Another file under its name, then nothing there: neither is the run's.
  testing::WriteBytes(other, {2});
  fs::rename(other, placed);
  EXPECT_FALSE(files.Protects(placed));
  fs::remove(placed);
  EXPECT_FALSE(files.Protects(placed));

  // A placement that could not be identified holds any file of its name, on the safe side.
  files.Placed(placed);
  testing::WriteBytes(placed, {3});
  EXPECT_TRUE(files.Protects(placed));
}

}  // namespace
}  // namespace tessarel
