#include "platform/file_io.h"

#include <mutex>

#include "platform/failure_reason.h"
#include "platform/journal.h"

namespace tessarel {

StagedFiles::~StagedFiles() {
  Discard();
}

void StagedFiles::Discard() {
  for (Entry& entry : entries_) {
    Close(entry);
    if (!entry.temporary.empty() && !entry.placed) RemoveName(entry.temporary);
    if (!entry.backup.empty()) RemoveName(entry.backup);
  }
  entries_.clear();
}

void StagedFiles::Append(StagedFiles& other) {
  entries_.insert(entries_.end(), other.entries_.begin(), other.entries_.end());
  other.entries_.clear();
}

namespace {

// Says why target could not take its new file, in the system's words for
// the call that just failed.
bool CannotPlace(const std::string& target) {
  Explain(target + " cannot be put in place: " + LastSystemError());
  return false;
}

}  // namespace

bool StagedFiles::Commit(PlacementGuard* guard) {
  bool ok = true;
  for (const Entry& entry : entries_) {
    if (guard != nullptr && !guard->MayReplace(entry.target)) {
      ok = false;
      break;
    }
  }
  // A name that nothing has yet is taken in one step; an older file is
  // replaced by a rename. A file alone needs no record: killed, it leaves at
  // most a hidden file beside the older target.
  if (ok && entries_.size() == 1) {
    Entry& entry = entries_.front();
    ok = PlaceAbsent(entry) ||
         (NameTemporary(entry) && RenameOver(entry.temporary, entry.target)) ||
         CannotPlace(entry.target);
    entry.placed = ok;
  } else if (ok && entries_.size() > 1) {
    ok = CommitGroup();
  }
  if (ok && guard != nullptr) {
    for (const Entry& entry : entries_) guard->Placed(entry.target);
  }
  Discard();
  return ok;
}

// Before anything is placed the journal records every file of the group, so
// that a later run can finish it or undo it from wherever a kill stopped it.
// Each older file but the last is kept until the last stands, so that a
// failure can bring it back. An unnamed file is tried first under its target
// name, which nothing may have; from the first name that is taken on, every
// file is named and recorded again before the next is placed, so that the
// group can be finished once anything of it stands.
bool StagedFiles::CommitGroup() {
  const std::string& first = entries_.front().target;
  const std::size_t start = NameStart(first);
  for (const Entry& entry : entries_) {
    if (NameStart(entry.target) != start || entry.target.compare(0, start, first, 0, start) != 0) {
      return false;
    }
  }
  Journal* journal = JournalIn(HiddenDirectory(first));
  if (journal == nullptr) return false;
  const std::lock_guard<std::mutex> oneGroup(journal->placing);
  const std::size_t last = entries_.size() - 1;
  bool ok = true;
  for (std::size_t i = 0; ok && i < last; ++i) {
    ok = entries_[i].handle >= 0 || KeepOlder(entries_[i]);
  }
  if (!ok || !journal->Record(Describe())) return false;
  std::size_t placed = 0;
  while (ok && placed <= last) {
    Entry& entry = entries_[placed];
    if (entry.handle >= 0 && PlaceAbsent(entry)) {
      entry.placed = true;
      ++placed;
      continue;
    }
    if (entry.handle >= 0) {
      for (std::size_t i = placed; ok && i <= last; ++i) {
        Entry& later = entries_[i];
        if (later.handle >= 0) ok = NameTemporary(later) && (i == last || KeepOlder(later));
      }
      ok = ok && journal->Record(Describe());
    }
    ok = ok && Place(entry);
    if (ok) ++placed;
  }
  if (!ok) {
    journal->Mark(Journal::kRollingBack);
    while (placed > 0) Undo(entries_[--placed]);
  }
  journal->Mark(Journal::kDone);
  return ok;
}

bool StagedFiles::Place(Entry& entry) {
  if (entry.backupMoved && !RenameOver(entry.target, entry.backup))
    return CannotPlace(entry.target);
  if (RenameOver(entry.temporary, entry.target)) return entry.placed = true;
  CannotPlace(entry.target);
  if (entry.backupMoved && RenameOver(entry.backup, entry.target)) entry.backup.clear();
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
    record.how = entry.temporary.empty() || (entry.backup.empty() && entry.targetAbsent)
                     ? Placing::Absent
                 : entry.backup.empty() ? Placing::Bare
                 : entry.backupMoved    ? Placing::Moved
                                        : Placing::Linked;
    record.identity = entry.temporary.empty() ? entry.identity : 0;
    record.target = name(entry.target);
    record.fresh = name(entry.temporary);
    record.backup = name(entry.backup);
  }
  return entries;
}

}  // namespace tessarel
