#include "files/staged_files.h"

#include <mutex>

#include "files/journal.h"
#include "platform/failure_reason.h"

namespace tessarel {

StagedFiles::~StagedFiles() {
  Discard();
}

void StagedFiles::Discard() {
  for (Entry& entry : entries_) {
    Close(entry);
    if (!entry.temporary.empty()) RemoveName(entry.temporary);
    if (!entry.backup.empty()) RemoveName(entry.backup);
  }
  entries_.clear();
}

bool StagedFiles::Add(const std::string& path, const FileProducer& produce) {
  return AddPlacing(
      path, [&produce](const WriteChunk& write, const WriteChunkAt&) { return produce(write); });
}

void StagedFiles::Append(StagedFiles& other) {
  entries_.insert(entries_.end(), other.entries_.begin(), other.entries_.end());
  other.entries_.clear();
}

bool StagedFiles::CannotPlace(const std::string& target) {
  Explain(target + " cannot be put in place: " + LastSystemError());
  return false;
}

bool StagedFiles::Commit(PlacementGuard* guard) {
  bool ok = true;
  for (const Entry& entry : entries_) {
    if (guard != nullptr && !guard->MayReplace(entry.target)) {
      ok = false;
      break;
    }
  }
  ok = ok && (entries_.empty() || PlaceAll());
  if (ok && guard != nullptr) {
    for (const Entry& entry : entries_) guard->Placed(entry.target);
  }
  Discard();
  return ok;
}

// A file alone needs no record: killed, it leaves at most a hidden file
// beside the older target. A group shares one directory, whose journal
// records every file of it before anything is placed, so that a later run can
// finish it or undo it from wherever a kill stopped it: finish it once all of
// its new files stand, by their hidden names or their targets. Each older file
// but the last is kept until the last stands, so that a failure can bring it
// back.
bool StagedFiles::PlaceAll() {
  const std::size_t last = entries_.size() - 1;
  Journal* journal = nullptr;
  std::unique_lock<std::mutex> oneGroup;
  if (last > 0) {
    const std::string& first = entries_.front().target;
    const std::size_t start = NameStart(first);
    for (const Entry& entry : entries_) {
      if (NameStart(entry.target) != start ||
          entry.target.compare(0, start, first, 0, start) != 0) {
        return false;
      }
    }
    journal = JournalIn(HiddenDirectory(first));
    if (journal == nullptr) return false;
    oneGroup = std::unique_lock<std::mutex>(journal->placing);
  }
  for (std::size_t i = 0; i <= last; ++i) {
    if (!Prepare(entries_[i], i < last)) return false;
  }
  if (journal != nullptr && !journal->Record(Describe())) return false;
  std::size_t placed = 0;
  while (placed <= last && Place(entries_[placed])) ++placed;
  if (placed <= last && journal != nullptr) {
    journal->Mark(Journal::kRollingBack);
    while (placed > 0) Undo(entries_[--placed]);
  }
  if (journal != nullptr) journal->Mark(Journal::kDone);
  return placed > last;
}

bool StagedFiles::RenameIntoPlace(Entry& entry) {
  const bool moved = entry.how == Placing::Moved;
  if (moved && !RenameOver(entry.target, entry.backup)) return CannotPlace(entry.target);
  if (RenameOver(entry.temporary, entry.target)) {
    entry.temporary.clear();
    return true;
  }
  CannotPlace(entry.target);
  if (moved && RenameOver(entry.backup, entry.target)) entry.backup.clear();
  return false;
}

void StagedFiles::Undo(Entry& entry) {
  if (entry.backup.empty()) {
    RemoveName(entry.target);
  } else if (RenameOver(entry.backup, entry.target)) {
    entry.backup.clear();
  }
}

std::vector<JournalEntry> StagedFiles::Describe() const {
  const auto name = [](std::string_view path) { return path.substr(NameStart(path)); };
  std::vector<JournalEntry> entries;
  for (const Entry& entry : entries_) {
    JournalEntry& record = entries.emplace_back();
    record.how = entry.how;
    record.identity =
        entry.how == Placing::Absent || entry.how == Placing::Exchanged ? entry.identity : 0;
    record.target = name(entry.target);
    record.fresh = name(entry.temporary);
    record.backup = name(entry.backup);
  }
  return entries;
}

}  // namespace tessarel
