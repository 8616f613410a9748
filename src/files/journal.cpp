#include "files/journal.h"

#include <charconv>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <utility>

#include "files/file_identity.h"
#include "files/staged_files.h"
#include "platform/directory.h"

namespace tessarel {
namespace {

const std::string kHiddenPrefix = ".tessarel-";

std::string JournalName(const std::string& run) {
  return kHiddenPrefix + run + ".journal";
}

// The run whose hidden file or journal name is, or empty for a name of no run.
std::string RunOf(std::string_view name) {
  if (!name.starts_with(kHiddenPrefix)) return {};
  name.remove_prefix(kHiddenPrefix.size());
  const std::size_t digits = name.find_first_not_of("0123456789");
  if (digits == 0 || digits == std::string_view::npos) return {};
  const std::string_view rest = name.substr(digits);
  return rest == ".journal" || rest.starts_with('-') ? std::string(name.substr(0, digits))
                                                     : std::string();
}

std::uint32_t Checksum(std::string_view bytes) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

void PutName(std::string& out, std::string_view name) {
  out += std::to_string(name.size());
  out += ':';
  out += name;
}

std::string In(const std::string& dir, std::string_view name) {
  return std::string(dir).append(name);
}

// Reads a number, decimal unless base says otherwise, and the one character
// after it, which must be end.
template <typename Number>
bool TakeNumber(std::string_view& in, Number& value, char end, int base = 10) {
  const auto [next, error] = std::from_chars(in.data(), in.data() + in.size(), value, base);
  if (error != std::errc() || next == in.data() + in.size() || *next != end) return false;
  in.remove_prefix(static_cast<std::size_t>(next - in.data()) + 1);
  return true;
}

bool TakeName(std::string_view& in, std::string_view& name, char end) {
  std::size_t length = 0;
  if (!TakeNumber(in, length, ':') || in.size() <= length || in[length] != end) return false;
  name = in.substr(0, length);
  in.remove_prefix(length + 1);
  return true;
}

void Encode(char state, const std::vector<JournalEntry>& entries, std::string& body,
            std::string& record) {
  body.clear();
  for (const JournalEntry& entry : entries) {
    body += static_cast<char>(entry.how);
    body += ' ';
    body += std::to_string(entry.identity);
    body += ' ';
    PutName(body, entry.target);
    body += ' ';
    PutName(body, entry.fresh);
    body += ' ';
    PutName(body, entry.backup);
    body += '\n';
  }
  std::string checksum(8, '0');
  const auto end = std::to_chars(checksum.data(), checksum.data() + 8, Checksum(body), 16).ptr;
  checksum.resize(static_cast<std::size_t>(end - checksum.data()));
  record.assign(1, state);
  record += ' ';
  record += std::to_string(body.size());
  record += ' ';
  record += checksum;
  record += '\n';
  record += body;
}

// A name a record may hold: one inside the directory, and where hidden, one
// of the journal's own run, so that no journal can reach anything else.
bool PlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && NameStart(name) == 0 &&
         name.find('\0') == std::string_view::npos;
}

bool HiddenNameOf(const std::string& run, std::string_view name) {
  return name.empty() || (PlainName(name) && name.starts_with(kHiddenPrefix + run + '-'));
}

// False for a record cut short or not made by a run of this build.
bool Decode(std::string_view in, const std::string& run, char& state,
            std::vector<JournalEntry>& entries) {
  std::size_t length = 0;
  std::uint32_t checksum = 0;
  if (in.size() < 2 || in[1] != ' ') return false;
  state = in[0];
  in.remove_prefix(2);
  if (!TakeNumber(in, length, ' ') || !TakeNumber(in, checksum, '\n', 16) || in.size() < length) {
    return false;
  }
  in = in.substr(0, length);
  if (Checksum(in) != checksum) return false;
  while (!in.empty()) {
    JournalEntry& entry = entries.emplace_back();
    entry.how = static_cast<Placing>(in[0]);
    if (in.size() < 2 || in[1] != ' ') return false;
    in.remove_prefix(2);
    if (!TakeNumber(in, entry.identity, ' ') || !TakeName(in, entry.target, ' ') ||
        !TakeName(in, entry.fresh, ' ') || !TakeName(in, entry.backup, '\n')) {
      return false;
    }
    const bool kept = entry.how == Placing::Linked || entry.how == Placing::Moved ||
                      entry.how == Placing::Exchanged;
    const bool known = kept || entry.how == Placing::Absent || entry.how == Placing::Bare;
    if (!known || !PlainName(entry.target) || entry.target.starts_with(kHiddenPrefix) ||
        !HiddenNameOf(run, entry.fresh) || !HiddenNameOf(run, entry.backup) ||
        kept == entry.backup.empty() || (entry.how != Placing::Absent && entry.fresh.empty())) {
      return false;
    }
  }
  return state == Journal::kPlacing || state == Journal::kRollingBack || state == Journal::kDone;
}

// Whether the target is the entry's new file, known by its identity.
bool TargetIsNew(const std::string& dir, const JournalEntry& entry) {
  FileIdentity identity;
  return IdentifyFile(In(dir, entry.target), identity) && identity.index == entry.identity;
}

// An unnamed file stands when its target is that file; a named one stands
// under its hidden name or, once renamed or exchanged, under its target.
bool Stands(const std::string& dir, const JournalEntry& entry) {
  return !entry.fresh.empty() || TargetIsNew(dir, entry);
}

bool RollForward(const std::string& dir, const std::vector<JournalEntry>& entries) {
  for (const JournalEntry& entry : entries) {
    // An exchanged entry's hidden name holds the older file.
    if (!entry.fresh.empty() && PathExists(In(dir, entry.fresh)) &&
        !(entry.how == Placing::Exchanged && TargetIsNew(dir, entry)) &&
        !RenameOver(In(dir, entry.fresh), In(dir, entry.target))) {
      return false;
    }
  }
  return true;
}

bool RollBack(const std::string& dir, const std::vector<JournalEntry>& entries) {
  bool ok = true;
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    const std::string target = In(dir, entry->target);
    if (entry->how == Placing::Absent) {
      // Removed only where the new file took its place.
      const bool placed =
          entry->fresh.empty() ? Stands(dir, *entry) : !PathExists(In(dir, entry->fresh));
      if (placed) RemoveName(target);
      ok = ok && !(placed && PathExists(target));
    } else if (entry->how == Placing::Exchanged) {
      // Once placed, the older file is under the backup where it was linked
      // there, and under the hidden name where the two were swapped.
      const std::string backup = In(dir, entry->backup);
      if (TargetIsNew(dir, *entry)) {
        ok = RenameOver(PathExists(backup) ? backup : In(dir, entry->fresh), target) && ok;
      }
    } else if (entry->how != Placing::Bare && PathExists(In(dir, entry->backup))) {
      ok = RenameOver(In(dir, entry->backup), target) && ok;
    }
  }
  return ok;
}

// Finishes the group a dead run recorded, or undoes it; false when the file
// system refuses a step, which a later run tries again.
bool Replay(const std::string& dir, JournalFile& file, char state,
            const std::vector<JournalEntry>& entries) {
  if (state == Journal::kDone) return true;
  if (state == Journal::kPlacing) {
    bool all = true;
    for (const JournalEntry& entry : entries) all = all && Stands(dir, entry);
    if (all && RollForward(dir, entries)) return true;
    // Marked before the first step back: a group that a run killed meanwhile
    // left part undone is undone by the next, never finished.
    file.WriteAt(0, std::string_view(&Journal::kRollingBack, 1));
  }
  return RollBack(dir, entries);
}

enum class Outcome { Running, PutRight, Kept };

// Puts right what the run run left in dir, unless it is running: its group,
// then every hidden file of it, then its journal. The journal is held
// throughout, so that no process of that id starts writing there meanwhile.
// Where a step fails, everything is kept for a later run.
Outcome PutRightRun(const std::string& dir, const std::string& run) {
  JournalFile file;
  if (!file.Claim(dir + JournalName(run))) return Outcome::Running;
  std::string bytes;
  char state = Journal::kDone;
  std::vector<JournalEntry> entries;
  if (!file.Read(bytes) ||
      (Decode(bytes, run, state, entries) && !Replay(dir, file, state, entries))) {
    return Outcome::Kept;
  }
  for (const std::string_view name : FindMatchingNames(dir + kHiddenPrefix + run + "-*")) {
    if (name.starts_with(kHiddenPrefix + run + '-')) RemoveName(In(dir, name));
  }
  file.Delete();
  return Outcome::PutRight;
}

// Every journal this process holds. Never destroyed, so that a directory
// given up by a destructor at exit finds it still there; the journals are
// deleted at exit by Closer.
struct Journals {
  std::mutex mutex;
  std::map<std::string, std::unique_ptr<Journal>> open;

  // Takes out the journals whose directories start with prefix.
  std::vector<std::unique_ptr<Journal>> TakeOut(const std::string& prefix) {
    const std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::unique_ptr<Journal>> taken;
    for (auto it = open.lower_bound(prefix); it != open.end() && it->first.starts_with(prefix);) {
      taken.push_back(std::move(it->second));
      it = open.erase(it);
    }
    return taken;
  }
};

Journals& AllJournals() {
  static Journals* const journals = new Journals;
  return *journals;
}

struct Closer {
  ~Closer() { ReleaseJournals(""); }
};

}  // namespace

bool Journal::Open(const std::string& dir) {
  const std::string path = dir + JournalName(ProcessTag());
  // One that stands there is an earlier process's of the same id, or one
  // that another run is putting right: put right, then made again.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const JournalFile::Made made = file_.Create(path);
    if (made != JournalFile::Made::Taken) return made == JournalFile::Made::Held;
    const Outcome outcome = PutRightRun(dir, ProcessTag());
    if (outcome == Outcome::Kept) return false;
    if (outcome == Outcome::Running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

bool Journal::Record(const std::vector<JournalEntry>& entries) {
  Encode(kPlacing, entries, body_, record_);
  return file_.WriteAt(0, record_);
}

void Journal::Mark(char state) {
  file_.WriteAt(0, std::string_view(&state, 1));
}

Journal* JournalIn(const std::string& dir) {
  static Closer closer;
  Journals& journals = AllJournals();
  const std::lock_guard<std::mutex> lock(journals.mutex);
  std::unique_ptr<Journal>& journal = journals.open[dir];
  if (journal == nullptr) {
    auto made = std::make_unique<Journal>();
    if (!made->Open(dir)) {
      journals.open.erase(dir);
      return nullptr;
    }
    journal = std::move(made);
  }
  return journal.get();
}

void ReleaseJournals(const std::string& dir) {
  for (const std::unique_ptr<Journal>& journal : AllJournals().TakeOut(dir)) {
    const std::lock_guard<std::mutex> idle(journal->placing);
    journal->file_.Delete();
  }
}

void PutRightLeftovers(const std::string& dir) {
  std::set<std::string> runs;
  for (const std::string_view name : FindMatchingNames(dir + kHiddenPrefix + "*")) {
    const std::string run = RunOf(name);
    if (!run.empty()) runs.insert(run);
  }
  for (const std::string& run : runs) PutRightRun(dir, run);
}

}  // namespace tessarel
