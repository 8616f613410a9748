// Shared by the tests: temporary directories, whole files, running the tool as a user would.
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

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// Paths from UTF-8 text and back (Windows takes a plain string in the ANSI code page).
inline std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string Utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

// The repository's tests/data folder: test pictures and the codec tables.
std::string TestDataDir();

extern const char* const kPlatform;  // "posix" or "win32", as built

struct ToolResult {
  int exitCode = -1;   // -1 when the tool did not exit by itself
  std::string output;  // standard output, line ends normalised to "\n"
  std::string errors;  // standard error, likewise
};

// POSIX only: no file of the child may grow past bytes (0: no limit); at the
// limit a write fails, or with killAtLimit the child is killed (SIGXFSZ). A
// shim changes its file system (tests/test_support/fs_shim_posix.cpp). It may
// have openFiles files open at once, and starts with standard input or output
// closed where noInput or noOutput says so; its umask is 022.
struct RunLimits {
  std::uint64_t bytes = 0;
  bool killAtLimit = false;
  std::string shim;
  bool noInput = false;
  bool noOutput = false;
  std::uint64_t openFiles = 1024;  // the usual default, whatever this machine allows
};

// Runs the built Tessarel with args in workDir and waits for it; its standard
// error goes through a file beside workDir, removed when it is read.
ToolResult RunTool(const std::vector<std::string>& args, const std::string& workDir,
                   const RunLimits& limit = {});

}  // namespace tessarel::testing
