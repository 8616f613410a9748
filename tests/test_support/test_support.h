// Helpers shared by the test files: temporary directories, whole files, and
// running the built Tessarel the way a user would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessarel::testing {

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool FileExists(const std::string& path);

// The repository's tests/data folder: test pictures and the codec tables.
std::string TestDataDir();

struct ToolResult {
  int exitCode = -1;
  std::string output;  // standard output, line ends normalised to "\n"
};

// Runs the built Tessarel with args in workDir and waits for it.
ToolResult RunTool(const std::vector<std::string>& args, const std::string& workDir);

// POSIX only: no file of the child may grow past bytes; at the limit a write
// fails, or with killAtLimit the child is killed mid-write (SIGXFSZ).
struct FileSizeLimit {
  std::uint64_t bytes = 0;
  bool killAtLimit = false;
};
ToolResult RunTool(const std::vector<std::string>& args, const std::string& workDir,
                   const FileSizeLimit& limit);

// The platform's directory separator as the tool prints it in paths.
char Sep();

}  // namespace tessarel::testing
