#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "imaging/file_io.h"

namespace tessarel {
namespace {

// The mode a plain fopen(..., "wb") would give a new file.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

char PlatformSeparator() {
  return '/';
}

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

bool PathExists(const std::string& path) {
  return access(NativePath(path).c_str(), F_OK) == 0;
}

bool WriteFileAtomically(const std::string& path,
                         const std::function<bool(const WriteChunk& write)>& produce) {
  const std::string target = NativePath(path);
  const std::size_t slash = target.find_last_of('/');
  std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
                     ".tessarel-XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = fchmod(fd, NewFileMode()) == 0 &&
            produce([fd](std::span<const std::uint8_t> piece) { return WriteAll(fd, piece); });
  ok = (close(fd) == 0) && ok;
  ok = ok && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  return WriteFileAtomically(path, [bytes](const WriteChunk& write) { return write(bytes); });
}

ReadOnlyFile::~ReadOnlyFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool ReadOnlyFile::Open(const std::string& path) {
  if (handle_ >= 0) return false;
  // O_NONBLOCK so that a FIFO matched by a pattern cannot hang the run; only
  // regular files are read.
  const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  handle_ = fd;
  size_ = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes) {
  constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (handle_ < 0 || offset > kMaxOffset || bytes.size() > kMaxOffset - offset) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pread(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done,
                            static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (stat(NativePath(a).c_str(), &sa) != 0 || stat(NativePath(b).c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace tessarel
