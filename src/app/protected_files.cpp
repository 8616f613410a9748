#include "app/protected_files.h"

#include "platform/failure_reason.h"

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
  if (Written(path)) return true;
  FileIdentity identity;
  return hasInput_ && IdentifyFile(path, identity) && identity == input_;
}

bool ProtectedFiles::MayReplace(const std::string& target) const {
  if (!Protects(target)) return true;
  Explain(target +
          (Written(target) ? " was written by this run from an earlier file"
                           : " is this conversion's input") +
          ", and is left alone");
  return false;
}

bool ProtectedFiles::Written(const std::string& path) const {
  return written_.contains(NameKey(path));
}

void ProtectedFiles::Placed(const std::string& target) {
  written_.insert(NameKey(target));
}

}  // namespace tessarel
