// Files read at any offset: the inputs, and the banded reading over them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tessarel {

// A regular file opened for reads at any offset, closed with the object.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // False when the path cannot be opened or is no regular file (a directory,
  // a device, a FIFO). Called once per object.
  bool Open(const std::string& path);
  // Whether Open failed only for want of memory or of open files.
  bool LackedHandles() const { return lackedHandles_; }
  // The size when opened.
  std::uint64_t Size() const { return size_; }
  // Fills all of bytes from offset; false when the file ends first (it may
  // have shrunk since it was opened) or cannot be read.
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes);

 private:
  std::intptr_t handle_ = -1;  // a descriptor, or a HANDLE (-1 is also INVALID_HANDLE_VALUE)
  std::uint64_t size_ = 0;
  bool lackedHandles_ = false;
};

}  // namespace tessarel
