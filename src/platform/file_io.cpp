#include "platform/file_io.h"

namespace tessarel {

ProtectedFiles::ProtectedFiles(const std::string& inputDir, const std::string& outputDir) {
  FileIdentity in, out;
  // Either unknown: checked as one directory, the safe side.
  sameDirectory_ = !IdentifyFile(inputDir, in) || !IdentifyFile(outputDir, out) || in == out;
}

void ProtectedFiles::SetInput(const std::string& path) {
  hasInput_ = sameDirectory_ && IdentifyFile(path, input_);
}

// Every look-up of a name that does not exist yet costs Wine a scan of the
// whole directory: only the one directory case asks the file system.
bool ProtectedFiles::Protects(const std::string& path) const {
  if (written_.contains(NameKey(path))) return true;
  FileIdentity identity;
  return hasInput_ && IdentifyFile(path, identity) && identity == input_;
}

void ProtectedFiles::AddWritten(const std::string& path) {
  written_.insert(NameKey(path));
}

StagedFiles::~StagedFiles() {
  Discard();
}

void StagedFiles::Discard() {
  for (Entry& entry : entries_) {
    Close(entry);
    if (!entry.temporary.empty()) Remove(entry.temporary);
    if (!entry.backup.empty()) Remove(entry.backup);
  }
  entries_.clear();
}

void StagedFiles::Append(StagedFiles& other) {
  entries_.insert(entries_.end(), other.entries_.begin(), other.entries_.end());
  other.entries_.clear();
}

bool StagedFiles::Commit(ProtectedFiles* protect) {
  bool ok = true;
  for (const Entry& entry : entries_) {
    ok = ok && (protect == nullptr || !protect->Protects(entry.target));
  }
  // A name that nothing has yet is taken in one step. An older file is
  // replaced by a rename, and each but the last is kept until the last
  // stands, so that a later failure can bring it back.
  std::size_t placed = 0;
  while (ok && placed < entries_.size()) {
    Entry& entry = entries_[placed];
    ok = PlaceAbsent(entry) ||
         (NameTemporary(entry) && (placed + 1 == entries_.size() || KeepOlder(entry)) &&
          Replace(entry.temporary, entry.target));
    if (ok) {
      entry.temporary.clear();
      ++placed;
    } else if (entry.backupMoved && Replace(entry.backup, entry.target)) {
      entry.backup.clear();
    }
  }
  while (!ok && placed > 0) {
    Entry& entry = entries_[--placed];
    if (entry.backup.empty()) {
      Remove(entry.target);
    } else if (Replace(entry.backup, entry.target)) {
      entry.backup.clear();
    }
  }
  if (ok && protect != nullptr) {
    for (const Entry& entry : entries_) protect->AddWritten(entry.target);
  }
  Discard();
  return ok;
}

}  // namespace tessarel
