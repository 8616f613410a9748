// Files written where no final name shows them, then put in place together.
// How a run killed at any moment is put right by the next is in journal.h.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tessarel {

// Passes the next piece of a file being written on to it; false when it
// cannot be written.
using WriteChunk = std::function<bool(std::span<const std::uint8_t> piece)>;
// Writes piece at offset in the file being written, beside the pieces passed
// on in order: from a thread of the producer's own as well, into bytes that
// none of those pieces reaches. False when it cannot be written, which fails
// the file.
using WriteChunkAt = std::function<bool(std::uint64_t offset, std::span<const std::uint8_t> piece)>;
// Hands a file's pieces, in order, to write; false abandons the file.
using FileProducer = std::function<bool(const WriteChunk& write)>;
// As FileProducer, with pieces that go anywhere in the file through writeAt.
using PlacingFileProducer =
    std::function<bool(const WriteChunk& write, const WriteChunkAt& writeAt)>;

struct JournalEntry;        // files/journal.h
enum class Placing : char;  // files/journal.h

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
  bool AddPlacing(const std::string& path, const PlacingFileProducer& produce);
  // Takes over every file other holds, after its own, as if added here.
  void Append(StagedFiles& other);
  // Puts every added file in place, in the order added. Fails with nothing
  // changed when guard refuses one target; tells guard of each placed file.
  bool Commit(PlacementGuard* guard = nullptr);

  // Where a platform's own code stages files in ways of its own; defined in
  // that platform's file alone.
  struct Access;

 private:
  struct Entry {
    std::string target;
    std::string temporary;       // the new file's hidden name; empty while it has none
    std::intptr_t handle = -1;   // an unnamed file's descriptor
    std::string backup;          // the older target's hidden name, kept until the group stands
    Placing how{};               // set by Prepare
    std::uint64_t identity = 0;  // an unnamed file's index, by which a later run knows it
  };
  // The platform's steps (staged_files_posix.cpp, staged_files_win32.cpp).
  // Prepare readies entry, changing no name but hidden ones: how it is to be
  // placed and, where keepOlder, the older target kept so that Undo can bring
  // it back. Place then puts it in place, or leaves it as it was and says why.
  static bool Prepare(Entry& entry, bool keepOlder);
  static bool Place(Entry& entry);
  static void Close(Entry& entry);
  // What both platforms share. CannotPlace says why target could not take
  // its new file, in the system's words for the call that just failed.
  static bool CannotPlace(const std::string& target);
  static bool RenameIntoPlace(Entry& entry);
  static void Undo(Entry& entry);
  bool PlaceAll();
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

}  // namespace tessarel
