// File access for the rest of the program. Paths are as the user gave
// them; the platform file decides what a backslash means.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tessarel {

// The directory separator appended when a directory is made to end in one.
char PlatformSeparator();

// The path as the file system wants it (on POSIX every '\' becomes '/').
std::string NativePath(const std::string& path);

bool PathExists(const std::string& path);

// Writes to a temporary file beside the target, then renames it over the
// target; on any failure the temporary is removed and the target untouched.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// Passes the next piece of a file being written on to it; false when it
// cannot be written.
using WriteChunk = std::function<bool(std::span<const std::uint8_t> piece)>;

// The same for a file produced piece by piece, so that a big file never has to
// be held whole: produce hands its pieces, in order, to the WriteChunk it is
// given, and returns false to abandon the file (the target is then untouched).
bool WriteFileAtomically(const std::string& path,
                         const std::function<bool(const WriteChunk& write)>& produce);

// A regular file opened for reads at any offset, closed with the object.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // False when the path cannot be opened or is no regular file (a directory,
  // a device, a FIFO), and when the object already holds a file.
  bool Open(const std::string& path);
  // The size when opened.
  std::uint64_t Size() const { return size_; }
  // Fills all of bytes from offset; false when the file ends first (it may
  // have shrunk since it was opened) or cannot be read.
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes);

 private:
  std::intptr_t handle_ = -1;  // a descriptor, or a HANDLE (-1 is also INVALID_HANDLE_VALUE)
  std::uint64_t size_ = 0;
};

// True when both paths name one existing file (same path, a link, another spelling).
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace tessarel
