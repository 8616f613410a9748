#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "files/read_only_file.h"
#include "platform/failure_reason.h"
#include "platform/shortage.h"

namespace tessarel {

ReadOnlyFile::~ReadOnlyFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool ReadOnlyFile::Open(const std::string& path) {
  // O_NONBLOCK so that a FIFO matched by a pattern cannot hang the run; only
  // regular files are read.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    Explain(path + " cannot be opened: " + LastSystemError());
    lackedHandles_ = NoteIfShortage(error);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Explain(path + (S_ISDIR(st.st_mode) ? " is a directory" : " is not a regular file"));
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

}  // namespace tessarel
