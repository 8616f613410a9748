// Whole-file access for the rest of the program. Paths are as the user gave
// them; the platform file decides what a backslash means.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessarel {

// The directory separator appended when a directory is made to end in one.
char PlatformSeparator();

// The path as the file system wants it (on POSIX every '\' becomes '/').
std::string NativePath(const std::string& path);

bool PathExists(const std::string& path);

// Reads the whole file. False when it cannot be opened or read, or is a directory.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// Writes to a temporary file beside the target, then renames it over the
// target; on any failure the temporary is removed and the target untouched.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// True when both paths name one existing file (same path, a link, another spelling).
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace tessarel
