#include <sys/stat.h>
#include <unistd.h>

#include "files/file_identity.h"

namespace tessarel {

bool PathExists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  identity = {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
  return true;
}

std::string NameKey(const std::string& path) {
  return path;
}

}  // namespace tessarel
