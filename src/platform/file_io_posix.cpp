#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <limits>

#include "platform/failure_reason.h"
#include "platform/file_io.h"
#include "platform/journal.h"
#include "platform/shortage.h"

namespace tessarel {
namespace {

// Files are made as fopen(..., "wb") would make them: the umask decides.
constexpr mode_t kNewFileMode = 0666;

// Whether a failed open or creation lacked memory or descriptors, which
// another moment may have; noted for the batch.
bool Lacked(int error) {
  const bool lacked = error == EMFILE || error == ENFILE || error == ENOMEM;
  if (lacked) NoteShortage();
  return lacked;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;  // a write that takes nothing has no room
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Says why path could not be written, in the system's words.
bool Unwritten(const std::string& path) {
  Explain(path + " cannot be written: " + LastSystemError());
  return false;
}

// The directory part of a native path, separator included; empty for none.
std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Unnamed files are given a name through /proc.
bool CanNameUnnamedFiles() {
  static const bool can = access("/proc/self/fd", X_OK) == 0;
  return can;
}

// Calls make with fresh hidden names in dir until it succeeds (returns 0 or
// more) or fails for a reason other than the name being taken. Each name is
// new to this process, so the names taken run out before the attempts do.
// The journal comes first: a later run takes a hidden file that has none for
// a dead run's.
int WithFreshName(const std::string& dir, const std::function<int(const std::string&)>& make) {
  static std::atomic<std::uint64_t> counter{0};
  if (JournalIn(dir) == nullptr) return -1;
  const std::string prefix = dir + ".tessarel-" + ProcessTag() + "-";
  for (;;) {
    const int result = make(prefix + std::to_string(++counter));
    if (result >= 0 || errno != EEXIST) return result;
  }
}

}  // namespace

char PlatformSeparator() {
  return '/';
}

std::string_view NativeSeparators() {
  return "/";
}

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

std::string ProcessTag() {
  return std::to_string(getpid());
}

std::string HiddenDirectory(const std::string& path) {
  return DirectoryOf(path);
}

std::size_t NameStart(std::string_view path) {
  return path.find_last_of('/') + 1;  // npos + 1 is 0
}

bool RenameOver(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

void RemoveName(const std::string& path) {
  unlink(path.c_str());
}

bool PathExists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string NameKey(const std::string& path) {
  return path;
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  identity = {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
  return true;
}

bool StagedFiles::Add(const std::string& path, const FileProducer& produce) {
  Entry entry;
  entry.target = path;
  // Unnamed until Commit, so that a process killed while writing leaves
  // nothing behind; a named temporary where the file system cannot do that.
  const std::string dir = DirectoryOf(path);
  int fd = -1;
  if (CanNameUnnamedFiles()) {
    fd = open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode);
  }
  if (fd >= 0) {
    entry.handle = fd;
  } else {
    std::string temporary;
    fd = WithFreshName(dir, [&](const std::string& name) {
      temporary = name;
      return open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    });
    if (fd < 0) {
      const int error = errno;
      Explain("no file can be made in " + (dir.empty() ? std::string(".") : dir) + ": " +
              LastSystemError());
      Lacked(error);
      return false;
    }
    entry.temporary = temporary;
  }
  const bool written = produce([fd, &path](std::span<const std::uint8_t> piece) {
    return WriteAll(fd, piece) || Unwritten(path);
  });
  // An unnamed file stays open: closing it would be the end of it. Its
  // identity, which a group's record holds, is read here, beside the other
  // files being written, not when the group is placed, one at a time.
  struct stat st {};
  const bool closed =
      (entry.handle >= 0 ? fstat(fd, &st) == 0 : close(fd) == 0) || Unwritten(path);
  entry.identity = std::uint64_t(st.st_ino);
  if (!written || !closed) {
    Close(entry);
    if (!entry.temporary.empty()) RemoveName(entry.temporary);
    return false;
  }
  entries_.push_back(std::move(entry));
  return true;
}

bool StagedFiles::PlaceAbsent(Entry& entry) {
  if (entry.handle < 0) return false;
  const std::string self = "/proc/self/fd/" + std::to_string(entry.handle);
  // Fails, with EEXIST, where any entry has the name: even a dangling link.
  if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, entry.target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    return false;
  }
  Close(entry);
  return true;
}

bool StagedFiles::NameTemporary(Entry& entry) {
  if (entry.handle < 0) return true;
  const std::string self = "/proc/self/fd/" + std::to_string(entry.handle);
  std::string temporary;
  const int linked = WithFreshName(DirectoryOf(entry.target), [&](const std::string& name) {
    temporary = name;
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : -1;
  });
  if (linked < 0) return false;
  entry.temporary = temporary;
  Close(entry);
  return true;
}

bool StagedFiles::KeepOlder(Entry& entry) {
  struct stat st {};
  if (lstat(entry.target.c_str(), &st) != 0) return entry.targetAbsent = errno == ENOENT;
  if (S_ISDIR(st.st_mode)) return true;  // nothing replaces a directory
  std::string backup;
  bool moved = false;
  const int kept = WithFreshName(DirectoryOf(entry.target), [&](const std::string& name) {
    backup = name;
    if (link(entry.target.c_str(), name.c_str()) == 0) return 0;
    // Where the file system has no hard links the older file is moved
    // aside to the name, once the group is recorded.
    moved = errno == EPERM || errno == EOPNOTSUPP;
    return moved ? 0 : -1;
  });
  if (kept < 0) return false;
  entry.backup = backup;
  entry.backupMoved = moved;
  return true;
}

void StagedFiles::Close(Entry& entry) {
  if (entry.handle >= 0) close(static_cast<int>(entry.handle));
  entry.handle = -1;
}

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
    lackedHandles_ = Lacked(error);
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
