// What a batch run must never replace.
#pragma once

#include <set>
#include <string>

#include "platform/file_identity.h"
#include "platform/staged_files.h"

namespace tessarel {

// The input of the conversion at hand and every file the run has put in
// place (by name: each was put in place by a rename, so no other name in the
// output directory reaches it).
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
  bool Written(const std::string& path) const;

  bool sameDirectory_ = true;
  bool hasInput_ = false;
  FileIdentity input_;
  std::set<std::string> written_;
};

}  // namespace tessarel
