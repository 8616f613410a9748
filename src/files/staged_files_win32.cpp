// Windows has no unnamed files: every file being written has a hidden name
// beside its target from the start, and a rename puts it in place.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#include "files/journal.h"
#include "files/staged_files_win32.h"
#include "platform/failure_reason.h"

namespace tessarel {
namespace {

// Says why path could not be written, in the system's words.
bool Unwritten(const std::string& path) {
  Explain(path + " cannot be written: " + LastSystemError());
  return false;
}

// Every write names its offset: one with an OVERLAPPED offset moves the file
// pointer, which writes from another thread would then move under it.
bool WriteAllAt(HANDLE file, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    const std::uint64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, &where) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// Calls make with fresh hidden names beside path until it succeeds or fails
// for a reason other than the name being taken; name is the last one tried.
// Named here rather than by GetTempFileNameA, whose result needs a MAX_PATH
// buffer. The journal comes first: a later run takes a hidden file that has
// none for a dead run's.
bool WithFreshNameBeside(const std::string& path,
                         const std::function<bool(const std::string&)>& make, std::string& name) {
  const std::string dir = HiddenDirectory(path);
  if (JournalIn(dir) == nullptr) return false;
  static std::atomic<unsigned> counter{0};
  const std::string prefix = dir + ".tessarel-" + ProcessTag() + "-";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    name = prefix + std::to_string(++counter) + ".tmp";
    if (make(name)) return true;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return false;
}

// Reserves a fresh empty file beside path (CREATE_NEW: never one that exists).
bool CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  return WithFreshNameBeside(
      path,
      [](const std::string& name) {
        const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        return file != INVALID_HANDLE_VALUE && CloseHandle(file) != 0;
      },
      temporary);
}

// Gives an older target a backup: a second name, or where the volume has no
// hard links (FAT), a fresh name that Place moves it to.
bool KeepOlder(const std::string& target, std::string& backup, Placing& how) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    how = Placing::Absent;
    return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;  // nothing replaces a directory
  bool moved = false;
  const bool kept = WithFreshNameBeside(
      target,
      [&](const std::string& name) {
        if (CreateHardLinkA(name.c_str(), target.c_str(), nullptr)) return true;
        if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
        // The older file is moved aside to the name once the group is
        // recorded.
        moved = true;
        return true;
      },
      backup);
  if (!kept) {
    backup.clear();
    return false;
  }
  how = moved ? Placing::Moved : Placing::Linked;
  return true;
}

}  // namespace

struct StagedFiles::Access {
  static bool AddNamed(StagedFiles& files, const std::string& path,
                       const std::function<bool(const std::string& temporary)>& write) {
    Entry entry;
    entry.target = path;
    if (!CreateTemporaryBeside(path, entry.temporary)) {
      Explain("no file can be made beside " + path + ": " + LastSystemError());
      return false;
    }
    if (!write(entry.temporary)) {
      DeleteFileA(entry.temporary.c_str());
      return false;
    }
    files.entries_.push_back(std::move(entry));
    return true;
  }
};

bool StageNamedFile(StagedFiles& files, const std::string& path,
                    const std::function<bool(const std::string& temporary)>& write) {
  return StagedFiles::Access::AddNamed(files, path, write);
}

bool StagedFiles::AddPlacing(const std::string& path, const PlacingFileProducer& produce) {
  return StageNamedFile(*this, path, [&produce, &path](const std::string& temporary) {
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Unwritten(path);
    std::uint64_t end = 0;  // where the next piece in order goes
    const bool written = produce(
        [file, &path, &end](std::span<const std::uint8_t> piece) {
          if (!WriteAllAt(file, end, piece)) return Unwritten(path);
          end += piece.size();
          return true;
        },
        [file, &path](std::uint64_t offset, std::span<const std::uint8_t> piece) {
          return WriteAllAt(file, offset, piece) || Unwritten(path);
        });
    return (CloseHandle(file) != 0 || Unwritten(path)) && written;
  });
}

bool StagedFiles::Prepare(Entry& entry, bool keepOlder) {
  entry.how = Placing::Bare;
  return !keepOlder || KeepOlder(entry.target, entry.backup, entry.how) ||
         CannotPlace(entry.target);
}

bool StagedFiles::Place(Entry& entry) {
  return RenameIntoPlace(entry);
}

void StagedFiles::Close(Entry&) {}

}  // namespace tessarel
