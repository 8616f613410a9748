// File access for the rest of the program. Paths the user typed become native
// paths once, through NativePath; everything below takes native paths, so a
// name that a directory listing returned is used whole, whatever it holds.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessarel {

// The directory separator appended when a directory is made to end in one.
char PlatformSeparator();

// The characters that separate directories in a native path.
std::string_view NativeSeparators();

// A typed path as the file system wants it (on POSIX every '\' becomes '/').
std::string NativePath(const std::string& path);

bool PathExists(const std::string& path);

// Whether path names a symbolic link (POSIX) or a reparse point (Windows):
// what it reaches may change while the run writes.
bool IsLink(const std::string& path);

// What a file is, whatever path reaches it: two paths with one identity name
// the same file.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the existing file or directory path names, links followed.
bool IdentifyFile(const std::string& path, FileIdentity& identity);

// The key under which the file system knows a name: the path itself where
// names are case-sensitive, letter case folded on Windows.
std::string NameKey(const std::string& path);

// Passes the next piece of a file being written on to it; false when it
// cannot be written.
using WriteChunk = std::function<bool(std::span<const std::uint8_t> piece)>;
// Hands a file's pieces, in order, to write; false abandons the file.
using FileProducer = std::function<bool(const WriteChunk& write)>;

struct JournalEntry;  // platform/journal.h

// What a commit asks before it replaces anything, and tells once its files
// stand.
class PlacementGuard {
 public:
  // False, having said why, when target must be left alone.
  virtual bool MayReplace(const std::string& target) const = 0;
  virtual void Placed(const std::string& target) = 0;

 protected:
  ~PlacementGuard() = default;
};

// Files written in full where no final name shows them, then put in place
// together: either every one stands under its final name or none does, and
// each older file a failure would have replaced is as it was. A group of two
// or more files shares one directory; a run killed while placing it leaves
// it part old, part new until PutRightLeftovers finishes it one way or the
// other. Whatever is not committed is discarded with the object.
class StagedFiles {
 public:
  StagedFiles() = default;
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Writes the file that Commit puts at path; false, keeping nothing of it,
  // when it cannot be written or produce abandons it.
  bool Add(const std::string& path, const FileProducer& produce);
  // Takes over every file other holds, after its own, as if added here.
  void Append(StagedFiles& other);
  // Puts every added file in place, in the order added. Fails with nothing
  // changed when guard refuses one target; tells guard of each placed file.
  bool Commit(PlacementGuard* guard = nullptr);

 private:
  struct Entry {
    std::string target;
    std::string temporary;       // empty while the file has no name
    std::intptr_t handle = -1;   // an unnamed file's descriptor
    std::string backup;          // the older target, kept until the group stands
    bool backupMoved = false;    // the older target is moved, not linked, aside
    bool targetAbsent = false;   // there was no older target to keep
    bool placed = false;         // the file stands under target
    std::uint64_t identity = 0;  // an unnamed file's index, by which a later run knows it
  };
  friend bool StageNamedFile(StagedFiles& files, const std::string& path,
                             const std::function<bool(const std::string& temporary)>& write);
  // The platform's steps. Each leaves entry as it found it when it fails.
  static bool PlaceAbsent(Entry& entry);    // an unnamed file takes a target name nothing has
  static bool NameTemporary(Entry& entry);  // an unnamed file gets a name beside its target
  // An existing target gets a backup: a second name, or where the file
  // system has none, a fresh name that Place moves it to.
  static bool KeepOlder(Entry& entry);
  static void Close(Entry& entry);
  static bool Place(Entry& entry);
  static void Undo(Entry& entry);
  bool CommitGroup();
  std::vector<JournalEntry> Describe() const;
  void Discard();
  std::vector<Entry> entries_;
};

// Puts right what runs killed while writing into dir (empty, or ending in a
// separator) left there, before this run writes into it: a group of files a
// dead run was placing is rolled forward where all of its new files stand and
// back to the older files otherwise, and every hidden file of a run that is
// not running goes. Files of runs still running are left alone.
void PutRightLeftovers(const std::string& dir);

// Gives up this process's journals in dir and in the directories below it
// (dir as a prefix of their paths), once nothing is being written there: for
// a caller done with dir, which Windows would not let it remove while a file
// in it is open. They are given up at the end of the process anyway.
void ReleaseJournals(const std::string& dir);

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
