#include "platform/file_io.h"

namespace tessarel {

void ProtectedFiles::SetInput(const std::string& path) {
  hasInput_ = IdentifyFile(path, input_);
}

bool ProtectedFiles::Protects(const std::string& path) const {
  FileIdentity identity;
  if (!IdentifyFile(path, identity)) return false;
  return (hasInput_ && identity == input_) || written_.contains(identity);
}

void ProtectedFiles::AddWritten(const std::string& path) {
  FileIdentity identity;
  if (IdentifyFile(path, identity)) written_.insert(identity);
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

bool StagedFiles::Commit(ProtectedFiles* protect) {
  bool ok = true;
  for (Entry& entry : entries_) {
    ok = ok && (protect == nullptr || !protect->Protects(entry.target)) && NameTemporary(entry);
  }
  // Each file but the last keeps the file it replaces until the last stands,
  // so that a later failure can bring it back.
  std::size_t placed = 0;
  while (ok && placed < entries_.size()) {
    Entry& entry = entries_[placed];
    ok = (placed + 1 == entries_.size() || KeepOlder(entry)) &&
         Replace(entry.temporary, entry.target);
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
