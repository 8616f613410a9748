// A file being written has no name (O_TMPFILE) until it is placed: under its
// target where that is free, or else under a hidden name beside it, which a
// rename or an exchange puts in place. Where the file system cannot make
// unnamed files, each is written under a hidden name from the start.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>

#include "files/journal.h"
#include "files/staged_files.h"
#include "platform/failure_reason.h"
#include "platform/shortage.h"

namespace tessarel {
namespace {

// Files are made as fopen(..., "wb") would make them: the umask decides.
constexpr mode_t kNewFileMode = 0666;

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

bool WriteAllAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (offset > std::uint64_t(std::numeric_limits<off_t>::max()) - bytes.size()) {
    errno = EFBIG;
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;
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

// Unnamed files are given a name through /proc.
bool CanNameUnnamedFiles() {
  static const bool can = access("/proc/self/fd", X_OK) == 0;
  return can;
}

std::string ProcName(std::intptr_t handle) {
  return "/proc/self/fd/" + std::to_string(handle);
}

// A hidden name in dir that no file of this process has had. The journal
// comes first: a later run takes a hidden file that has none for a dead run's.
bool FreshName(const std::string& dir, std::string& name) {
  static std::atomic<std::uint64_t> counter{0};
  if (JournalIn(dir) == nullptr) return false;
  name = dir + ".tessarel-" + ProcessTag() + "-" + std::to_string(++counter);
  return true;
}

// Calls make with fresh hidden names in dir until it succeeds (returns 0 or
// more) or fails for a reason other than the name being taken; name is the
// last one tried. Each name is new to this process, so the names taken run
// out before the attempts do.
int WithFreshName(const std::string& dir, const std::function<int(const std::string&)>& make,
                  std::string& name) {
  for (;;) {
    if (!FreshName(dir, name)) return -1;
    const int result = make(name);
    if (result >= 0 || errno != EEXIST) return result;
  }
}

// Opens a new file in dir (as HiddenDirectory gives it): unnamed until Commit,
// so that a process killed while writing leaves nothing behind; under a
// hidden name, which temporary is set to, where the file system cannot do that.
int OpenNewFile(const std::string& dir, std::string& temporary) {
  if (CanNameUnnamedFiles()) {
    const int fd =
        open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode);
    if (fd >= 0) return fd;
  }
  return WithFreshName(
      dir,
      [](const std::string& name) {
        return open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
      },
      temporary);
}

// Gives an unnamed file a hidden name beside its target.
bool NameTemporary(std::intptr_t handle, const std::string& target, std::string& temporary) {
  const std::string self = ProcName(handle);
  return WithFreshName(
             HiddenDirectory(target),
             [&](const std::string& name) {
               return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
             },
             temporary) == 0;
}

// Gives an older target a backup: a second name, or where the file system
// has no hard links, a fresh name that Place moves it to.
bool KeepOlder(const std::string& target, std::string& backup, Placing& how) {
  struct stat st {};
  if (lstat(target.c_str(), &st) != 0) {
    how = Placing::Absent;
    return errno == ENOENT;
  }
  if (S_ISDIR(st.st_mode)) return true;  // nothing replaces a directory
  bool moved = false;
  const int kept = WithFreshName(
      HiddenDirectory(target),
      [&](const std::string& name) {
        if (link(target.c_str(), name.c_str()) == 0) return 0;
        // Where the file system has no hard links the older file is moved
        // aside to the name, once the group is recorded.
        moved = errno == EPERM || errno == EOPNOTSUPP;
        return moved ? 0 : -1;
      },
      backup);
  if (kept < 0) {
    backup.clear();
    return false;
  }
  how = moved ? Placing::Moved : Placing::Linked;
  return true;
}

// Whether the file system swaps two names in one step; false from the first
// that cannot, after which an older file is linked to its backup instead.
std::atomic<bool> exchanges{true};

}  // namespace

bool StagedFiles::AddPlacing(const std::string& path, const PlacingFileProducer& produce) {
  Entry entry;
  entry.target = path;
  const std::string dir = HiddenDirectory(path);
  const int fd = OpenNewFile(dir, entry.temporary);
  if (fd < 0) {
    const int error = errno;
    Explain("no file can be made in " + (dir.empty() ? std::string(".") : dir) + ": " +
            LastSystemError());
    NoteIfShortage(error);
    return false;
  }
  if (entry.temporary.empty()) entry.handle = fd;
  // A write at an offset leaves the position that the pieces in order go on
  // from where it was.
  const bool written = produce(
      [fd, &path](std::span<const std::uint8_t> piece) {
        return WriteAll(fd, piece) || Unwritten(path);
      },
      [fd, &path](std::uint64_t offset, std::span<const std::uint8_t> piece) {
        return WriteAllAt(fd, offset, piece) || Unwritten(path);
      });
  // An unnamed file stays open: closing it would be the end of it. Its
  // identity, which a group's record holds, is read here, beside the other
  // files being written, not when the group is placed, one at a time.
  struct stat st {};
  const bool closed = (entry.handle >= 0 ? fstat(fd, &st) == 0 : close(fd) == 0) || Unwritten(path);
  entry.identity = std::uint64_t(st.st_ino);
  if (!written || !closed) {
    Close(entry);
    if (!entry.temporary.empty()) RemoveName(entry.temporary);
    return false;
  }
  entries_.push_back(std::move(entry));
  return true;
}

// An unnamed file stays unnamed where its target is free, and takes it in one
// step. Over an older file it is named; an older file to keep is swapped with
// it by that name, so that the older one takes the hidden name, and the name
// reserved for its backup is used only where the swap cannot be made.
bool StagedFiles::Prepare(Entry& entry, bool keepOlder) {
  entry.how = Placing::Bare;
  if (entry.handle < 0) {
    return !keepOlder || KeepOlder(entry.target, entry.backup, entry.how) ||
           CannotPlace(entry.target);
  }
  struct stat st {};
  if (lstat(entry.target.c_str(), &st) != 0) {
    entry.how = Placing::Absent;
    return errno == ENOENT || CannotPlace(entry.target);
  }
  if (!NameTemporary(entry.handle, entry.target, entry.temporary)) {
    entry.temporary.clear();
    return CannotPlace(entry.target);
  }
  Close(entry);
  if (!keepOlder || S_ISDIR(st.st_mode)) return true;  // nothing replaces a directory
  entry.how = Placing::Exchanged;
  return FreshName(HiddenDirectory(entry.target), entry.backup) || CannotPlace(entry.target);
}

bool StagedFiles::Place(Entry& entry) {
  if (entry.handle >= 0) {
    // Fails, with EEXIST, where any entry has the name: even a dangling link.
    if (linkat(AT_FDCWD, ProcName(entry.handle).c_str(), AT_FDCWD, entry.target.c_str(),
               AT_SYMLINK_FOLLOW) != 0) {
      return CannotPlace(entry.target);
    }
    Close(entry);
    return true;
  }
  if (entry.how != Placing::Exchanged) return RenameIntoPlace(entry);
  if (exchanges && renameat2(AT_FDCWD, entry.temporary.c_str(), AT_FDCWD, entry.target.c_str(),
                             RENAME_EXCHANGE) == 0) {
    entry.backup = std::move(entry.temporary);
    entry.temporary.clear();
    return true;
  }
  if (exchanges && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
    return CannotPlace(entry.target);
  }
  exchanges = false;
  if (link(entry.target.c_str(), entry.backup.c_str()) != 0) return CannotPlace(entry.target);
  return RenameIntoPlace(entry);
}

void StagedFiles::Close(Entry& entry) {
  if (entry.handle >= 0) close(static_cast<int>(entry.handle));
  entry.handle = -1;
}

}  // namespace tessarel
