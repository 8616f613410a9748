// A journal is held by an exclusive flock on its descriptor, which the
// kernel lets go of when the process dies, however it dies. Hidden files go
// in their target's own directory.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "files/journal.h"

namespace tessarel {
namespace {

enum class Lock { Held, Busy, Unlockable, Gone };

// Between open and flock another run may have taken the same file, put it
// right and removed it: held only while the name still leads to it.
Lock LockNamed(int fd, const std::string& path) {
  if (flock(fd, LOCK_EX | LOCK_NB) != 0)
    return errno == EWOULDBLOCK ? Lock::Busy : Lock::Unlockable;
  struct stat held {
  }, named{};
  return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
                 held.st_ino == named.st_ino
             ? Lock::Held
             : Lock::Gone;
}

// The directory part of a native path, separator included; empty for none.
std::string DirectoryPrefix(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string ProcessTag() {
  return std::to_string(getpid());
}

std::string HiddenDirectory(const std::string& path) {
  return DirectoryPrefix(path);
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

JournalFile::~JournalFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

JournalFile::Made JournalFile::Create(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST ? Made::Taken : Made::Failed;
  // On a file system without locks a journal is held unlocked, and no run
  // ever takes another's there.
  const Lock lock = LockNamed(fd, path);
  if (lock == Lock::Busy || lock == Lock::Gone) {
    close(fd);
    return Made::Taken;
  }
  handle_ = fd;
  path_ = path;
  return Made::Held;
}

bool JournalFile::Claim(const std::string& path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const Lock lock = LockNamed(fd, path);
    if (lock == Lock::Held) {
      handle_ = fd;
      path_ = path;
      return true;
    }
    close(fd);
    if (lock != Lock::Gone) return false;
  }
  return false;
}

bool JournalFile::Read(std::string& bytes) {
  struct stat st {};
  if (fstat(static_cast<int>(handle_), &st) != 0) return false;
  bytes.resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pread(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done,
                            static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return true;
}

bool JournalFile::WriteAt(std::uint64_t offset, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pwrite(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done,
                             static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void JournalFile::Delete() {
  if (handle_ < 0) return;
  unlink(path_.c_str());
  close(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace tessarel
