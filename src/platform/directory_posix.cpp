#include <dirent.h>
#include <sys/stat.h>

#include "platform/directory.h"
#include "platform/failure_reason.h"
#include "platform/path_names.h"
#include "platform/wildcard.h"

namespace tessarel {

std::string CreateOutputDirectory(const std::string& dir) {
  const std::string native = NativePath(dir);
  if (dir.empty() || mkdir(native.c_str(), 0777) == 0) return {};
  const std::string error = LastSystemError();
  // Without its trailing separator, so that a file of that name is seen as one.
  const std::string bare = native.substr(0, native.find_last_not_of('/') + 1);
  struct stat st {};
  if (stat(bare.c_str(), &st) != 0) return error;
  return S_ISDIR(st.st_mode) ? std::string() : "it is not a directory";
}

NameList FindMatchingNames(const std::string& pattern) {
  const std::string native = NativePath(pattern);
  const std::size_t slash = native.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : native.substr(0, slash + 1);
  const std::string last = slash == std::string::npos ? native : native.substr(slash + 1);
  NameList names;
  if (last.empty()) return names;
  if (!HasWildcard(last)) {
    // lstat, as a listing would: a broken link is an entry too.
    struct stat st {};
    if (lstat(native.c_str(), &st) == 0) names.push_back(last);
    return names;
  }
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return names;
  while (const dirent* entry = readdir(listing)) {
    if (MatchWildcard(last, entry->d_name)) names.push_back(entry->d_name);
  }
  closedir(listing);
  // readdir's order depends on the file system; byte order makes runs repeatable.
  names.Sort();
  return names;
}

}  // namespace tessarel
