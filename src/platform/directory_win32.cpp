// Directory services over KERNEL32: the system's own search matches the
// pattern, so its rules (letter case, '/' or '\', drive letters) are Windows'.
#include "platform/directory.h"

#include <windows.h>

#include <string>

#include "platform/failure_reason.h"

namespace tessarel {

std::string CreateOutputDirectory(const std::string& dir) {
  if (dir.empty() || CreateDirectoryA(dir.c_str(), nullptr)) return {};
  const std::string error = LastSystemError();
  // Without its trailing separator, so that a file of that name is seen as one.
  const DWORD attributes =
      GetFileAttributesA(dir.substr(0, dir.find_last_not_of("\\/") + 1).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return error;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? std::string() : "it is not a directory";
}

namespace {

// A listed name in the ANSI code page, which the executable's manifest makes
// UTF-8 where Windows allows, so every name comes through exactly. Elsewhere
// a character the code page lacks becomes '?' instead of a look-alike letter
// (best fit would turn "Ωmega" into "Omega"): no file can have that name, so
// the name fails to load instead of reaching another file.
bool NarrowName(const wchar_t* wide, std::string& name) {
  const UINT codePage = GetACP();
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int length = WideCharToMultiByte(codePage, flags, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return false;
  name.resize(static_cast<std::size_t>(length));
  if (WideCharToMultiByte(codePage, flags, wide, -1, name.data(), length, nullptr, nullptr) !=
      length) {
    return false;
  }
  name.pop_back();  // the terminator
  return true;
}

}  // namespace

NameList FindMatchingNames(const std::string& pattern) {
  NameList names;
  const int length = MultiByteToWideChar(CP_ACP, 0, pattern.c_str(), -1, nullptr, 0);
  if (length <= 0) return names;
  std::wstring widePattern(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, pattern.c_str(), -1, widePattern.data(), length) != length) {
    return names;
  }
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(widePattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  std::string name;
  do {
    if (NarrowName(found.cFileName, name)) names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  // The search's order depends on the file system; byte order makes runs repeatable.
  names.Sort();
  return names;
}

}  // namespace tessarel
