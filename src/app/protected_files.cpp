#include "app/protected_files.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "platform/failure_reason.h"

namespace tessarel {
namespace {

// A placed file whose identity could not be had: any name with its hash is
// taken for it, on the safe side.
constexpr FileIdentity kUnidentified{std::numeric_limits<std::uint64_t>::max(),
                                     std::numeric_limits<std::uint64_t>::max()};

}  // namespace

ProtectedFiles::ProtectedFiles(const std::string& inputDir, const std::string& outputDir) {
  FileIdentity in, out;
  // Either unknown: checked as one directory, the safe side.
  sameDirectory_ = !IdentifyFile(inputDir, in) || !IdentifyFile(outputDir, out) || in == out;
}

void ProtectedFiles::SetInput(const std::string& path) {
  hasInput_ = sameDirectory_ && IdentifyFile(path, input_);
}

bool ProtectedFiles::Protects(const std::string& path) const {
  return Written(path) || IsInput(path);
}

bool ProtectedFiles::MayReplace(const std::string& target) const {
  const bool written = Written(target);
  if (!written && !IsInput(target)) return true;
  Explain(
      target +
      (written ? " was written by this run from an earlier file" : " is this conversion's input") +
      ", and is left alone");
  return false;
}

// Every look-up of a name that does not exist yet costs Wine a scan of the
// whole directory: only the one directory case asks the file system.
bool ProtectedFiles::IsInput(const std::string& path) const {
  FileIdentity identity;
  return hasInput_ && IdentifyFile(path, identity) && identity == input_;
}

// FNV-1a over the key, then splitmix64's finaliser, so that the low bits
// that choose a slot depend on every byte.
std::uint64_t ProtectedFiles::NameHash(const std::string& path) {
  std::uint64_t hash = 0xcbf29ce484222325;
  for (const char c : NameKey(path)) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
  }
  hash = (hash ^ (hash >> 30)) * 0xbf58476d1ce4e5b9;
  hash = (hash ^ (hash >> 27)) * 0x94d049bb133111eb;
  return hash ^ (hash >> 31);
}

// The file system is asked only when a placed file's hash matches: what the
// name reaches must be that file. A name that reaches nothing has nothing of
// the run's to lose; one that cannot be identified may be the placed file.
bool ProtectedFiles::Written(const std::string& path) const {
  if (slots_.empty()) return false;
  const std::uint64_t name = NameHash(path);
  const std::size_t mask = slots_.size() - 1;
  bool identified = false;
  FileIdentity there = kUnidentified;
  for (std::size_t slot = name & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
    const Placement& placement = placed_[slots_[slot] - 1];
    if (placement.name != name) continue;
    if (!std::exchange(identified, true) && !IdentifyFile(path, there)) {
      if (!PathExists(path)) return false;
      there = kUnidentified;
    }
    if (placement.identity == there || placement.identity == kUnidentified ||
        there == kUnidentified) {
      return true;
    }
  }
  return false;
}

void ProtectedFiles::Placed(const std::string& target) {
  Placement placement{NameHash(target), kUnidentified};
  if (!IdentifyFile(target, placement.identity)) placement.identity = kUnidentified;
  if (placed_.size() >= std::numeric_limits<std::uint32_t>::max() - 1) {
    throw std::length_error("too many files placed");
  }
  // At most three quarters full, so that every look-up soon meets an empty slot.
  if ((placed_.size() + 1) * 4 > slots_.size() * 3) {
    std::vector<std::uint32_t> larger(std::max<std::size_t>(2 * slots_.size(), 64));
    slots_.swap(larger);
    for (std::size_t index = 0; index < placed_.size(); ++index) Index(index);
  }
  placed_.push_back(placement);
  Index(placed_.size() - 1);
}

void ProtectedFiles::Index(std::size_t index) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = placed_[index].name & mask;
  while (slots_[slot] != 0) slot = (slot + 1) & mask;
  slots_[slot] = static_cast<std::uint32_t>(index + 1);
}

}  // namespace tessarel
