// What a batch run must never replace.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "files/file_identity.h"
#include "files/staged_files.h"

namespace tessarel {

// The input of the conversion at hand and every file the run has put in
// place. A placed file is known by a hash of its name and by its identity,
// a few bytes whatever the name: a name whose hash a placed file's shares is
// that file only if it reaches it still.
class ProtectedFiles : public PlacementGuard {
 public:
  ProtectedFiles() = default;
  // Decides once whether an output can be the input at all: only when the
  // output directory is the input directory. Through a link in another
  // directory it cannot: the rename replaces the link, never writes through it.
  ProtectedFiles(const std::string& inputDir, const std::string& outputDir);
  void SetInput(const std::string& path);
  bool Protects(const std::string& path) const;
  bool MayReplace(const std::string& target) const override;
  void Placed(const std::string& target) override;

 private:
  struct Placement {
    std::uint64_t name = 0;  // NameHash of the target
    FileIdentity identity;
  };
  static std::uint64_t NameHash(const std::string& path);
  bool Written(const std::string& path) const;
  bool IsInput(const std::string& path) const;
  void Index(std::size_t index);

  bool sameDirectory_ = true;
  bool hasInput_ = false;
  FileIdentity input_;
  std::deque<Placement> placed_;  // grows without moving what it holds
  // Open addressing over placed_: 1 + the placement's index, 0 for none.
  std::vector<std::uint32_t> slots_;
};

}  // namespace tessarel
