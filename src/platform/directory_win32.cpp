// Directory services over KERNEL32: the system's own search matches the
// pattern, so its rules (letter case, '/' or '\', drive letters) are Windows'.
#include "platform/directory.h"

#include <windows.h>

#include <algorithm>

namespace tessarel {

bool CreateOutputDirectory(const std::string& dir) {
  if (dir.empty()) return true;
  return CreateDirectoryA(dir.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::vector<std::string> FindMatchingNames(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  // The search's order depends on the file system; byte order makes runs repeatable.
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tessarel
