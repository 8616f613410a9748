// Paths and the names derived from them. Paths the user typed become native
// paths once, through NativePath; everything below takes native paths, so a
// name that a directory listing returned is used whole, whatever it holds.
// From a native path come where the file name starts, its base, and the
// companion mask name that the BMP export writes and the source loader reads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessarel {

// The directory separator appended when a directory is made to end in one.
char PlatformSeparator();

// The characters that separate directories in a native path.
std::string_view NativeSeparators();

// A typed path as the file system wants it (on POSIX every '\' becomes '/').
std::string NativePath(const std::string& path);

// A separator in a path the user typed: both count, on every platform.
inline bool IsTypedSeparator(char c) {
  return c == '\\' || c == '/';
}

// Index of the first character after the last native separator of a native
// path (0 when there is none): a listed name stays whole, whatever it holds.
std::size_t FileNameStart(std::string_view path);

inline std::string_view FileNamePart(std::string_view path) {
  return path.substr(FileNameStart(path));
}

// The path up to, not including, the last '.' of its file-name part; the whole
// path when the file name has no '.'. A dot in a directory never counts, so a
// derived name always stays in the path's own directory.
std::string BaseOfPath(std::string_view path);

// base + "_mask.bmp"
std::string CompanionMaskName(std::string_view path);

}  // namespace tessarel
