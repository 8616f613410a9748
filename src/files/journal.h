// What StagedFiles keeps beside the files it puts in place, so that a run
// killed at any moment leaves nothing a later run cannot put right. A process
// keeps one journal in each directory it writes hidden files into,
// ".tessarel-<pid>.journal", made before the first of them and held (locked,
// or opened unshared) until the process ends; every hidden file it makes there
// is ".tessarel-<pid>-<n>...". A journal nobody holds is a dead run's.
//
// The journal is one record, written over itself whenever a group of files
// is placed: a state byte, then the group's files with every name
// length-prefixed, so that any byte survives, and a checksum that tells a
// record cut short:
//
//   <state> <body length> <checksum>\n<body>
//   body: one line per file: <how> <identity> <target> <new> <backup>\n
//   name: <length>:<bytes>
//
// The state is P while the group is placed, R once it is being rolled back,
// D when it stands or is back as it was.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tessarel {

// This process's id, as the names of its hidden files carry it.
std::string ProcessTag();

// The directory a path's hidden files go in, as the prefix their names are
// appended to: empty, or ending in a separator.
std::string HiddenDirectory(const std::string& path);

// Where the name of path within its directory starts.
std::size_t NameStart(std::string_view path);

// Renames from to to, replacing what to names.
bool RenameOver(const std::string& from, const std::string& to);
void RemoveName(const std::string& path);

// How a record's file is put in place, and so how a later run undoes it.
enum class Placing : char {
  Absent = 'A',  // its target did not exist: undone by removing it
  Linked = 'L',  // its older target has a second name, the backup
  Moved = 'M',   // its older target is moved to the backup before it is placed
  // Its new file and the older target swap names, or where they cannot, the
  // older one is linked to the backup first: which one the target holds, its
  // identity tells.
  Exchanged = 'X',
  Bare = 'N',  // its older target has no backup: only the group's last file
};

// Names within the directory, seen in the strings they come from: fresh and
// backup are hidden names, or empty.
struct JournalEntry {
  Placing how = Placing::Bare;
  std::uint64_t identity = 0;  // a file with no name yet, or to be exchanged: its file index
  std::string_view target, fresh, backup;
};

// A journal file held by this process: no other process can take it while
// it is open.
class JournalFile {
 public:
  enum class Made { Held, Taken, Failed };  // Taken: a file has the name

  JournalFile() = default;
  ~JournalFile();
  JournalFile(const JournalFile&) = delete;
  JournalFile& operator=(const JournalFile&) = delete;

  // Makes a new journal at path and holds it.
  Made Create(const std::string& path);
  // Holds the journal at path, made if missing, unless a process holds it.
  bool Claim(const std::string& path);
  bool Read(std::string& bytes);
  bool WriteAt(std::uint64_t offset, std::string_view bytes);
  // Removes the journal, still held, and closes it.
  void Delete();

 private:
  std::intptr_t handle_ = -1;  // a descriptor, or a HANDLE (-1 is also INVALID_HANDLE_VALUE)
  std::string path_;
};

// This process's journal in one directory.
class Journal {
 public:
  static constexpr char kPlacing = 'P', kRollingBack = 'R', kDone = 'D';

  // Held while a group is placed: the journal records one group at a time.
  std::mutex placing;
  bool Record(const std::vector<JournalEntry>& entries);
  void Mark(char state);

 private:
  friend Journal* JournalIn(const std::string& dir);
  friend void ReleaseJournals(const std::string& dir);
  bool Open(const std::string& dir);
  JournalFile file_;
  std::string body_, record_;  // kept, so that a record allocates nothing
};

// This process's journal in dir (as HiddenDirectory gives it), made on first
// use; null when it cannot be made. A hidden file is made in dir only once
// this has succeeded.
Journal* JournalIn(const std::string& dir);

}  // namespace tessarel
