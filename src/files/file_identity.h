// What a path reaches: whether anything, whether a link, which file, and the
// key the file system knows its name by.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace tessarel {

bool PathExists(const std::string& path);

// Whether path names a symbolic link (POSIX) or a reparse point (Windows):
// what it reaches may change while the run writes.
bool IsLink(const std::string& path);

// What a file is, whatever path reaches it: two paths with one identity name
// the same file.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the existing file or directory path names, links followed.
bool IdentifyFile(const std::string& path, FileIdentity& identity);

// The key under which the file system knows a name: the path itself where
// names are case-sensitive, letter case folded on Windows.
std::string NameKey(const std::string& path);

}  // namespace tessarel
