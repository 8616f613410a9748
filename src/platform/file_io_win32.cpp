// File access over Win32: paths go to the ANSI functions unchanged, so
// '\' and '/' both separate and drive letters work as the user typed them.
#include "platform/file_io.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/failure_reason.h"
#include "platform/file_io_win32.h"
#include "platform/journal.h"
#include "platform/shortage.h"

namespace tessarel {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The directory a temporary must be created in for the final rename to stay on
// one volume: the target's own, "." standing for the current one.
std::string DirectoryOf(const std::string& path) {
  const std::size_t end = path.find_last_of("\\/:");
  if (end == std::string::npos) return ".";
  std::string dir = path.substr(0, end + 1);
  // "c:" alone would name the root of c:, not its current directory.
  if (dir.back() == ':') dir += '.';
  return dir;
}

// Says why path could not be written, in the system's words.
bool Unwritten(const std::string& path) {
  Explain(path + " cannot be written: " + LastSystemError());
  return false;
}

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// Calls make with fresh hidden names beside path until it succeeds or fails
// for a reason other than the name being taken; name is the last one tried.
// Named here rather than by GetTempFileNameA, whose result needs a MAX_PATH
// buffer. The journal comes first: a later run takes a hidden file that has
// none for a dead run's.
bool WithFreshNameBeside(const std::string& path,
                         const std::function<bool(const std::string&)>& make, std::string& name) {
  const std::string dir = HiddenDirectory(path);
  if (JournalIn(dir) == nullptr) return false;
  static std::atomic<unsigned> counter{0};
  const std::string prefix = dir + ".tessarel-" + ProcessTag() + "-";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    name = prefix + std::to_string(++counter) + ".tmp";
    if (make(name)) return true;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return false;
}

// Reserves a fresh empty file beside path (CREATE_NEW: never one that exists).
bool CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  return WithFreshNameBeside(
      path,
      [](const std::string& name) {
        const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        return file != INVALID_HANDLE_VALUE && CloseHandle(file) != 0;
      },
      temporary);
}

}  // namespace

char PlatformSeparator() {
  return '\\';
}

std::string_view NativeSeparators() {
  return "\\/";
}

std::string NativePath(const std::string& path) {
  return path;
}

std::string ProcessTag() {
  return std::to_string(GetCurrentProcessId());
}

std::string HiddenDirectory(const std::string& path) {
  std::string dir = DirectoryOf(path);
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

std::size_t NameStart(std::string_view path) {
  return path.find_last_of("\\/:") + 1;  // npos + 1 is 0
}

bool RenameOver(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void RemoveName(const std::string& path) {
  DeleteFileA(path.c_str());
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Windows compares names as their upper case, whatever the code page.
std::string NameKey(const std::string& path) {
  const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (length <= 0) return path;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length) != length) return path;
  wide.pop_back();  // the terminator
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
  // No access rights and backup semantics: directories and files open alike,
  // even ones another process holds without sharing.
  const HANDLE file = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (ok) {
    identity = {info.dwVolumeSerialNumber,
                std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
  }
  return ok;
}

bool StageNamedFile(StagedFiles& files, const std::string& path,
                    const std::function<bool(const std::string& temporary)>& write) {
  StagedFiles::Entry entry;
  entry.target = path;
  if (!CreateTemporaryBeside(path, entry.temporary)) {
    Explain("no file can be made beside " + path + ": " + LastSystemError());
    return false;
  }
  if (!write(entry.temporary)) {
    DeleteFileA(entry.temporary.c_str());
    return false;
  }
  files.entries_.push_back(std::move(entry));
  return true;
}

bool StagedFiles::Add(const std::string& path, const FileProducer& produce) {
  return StageNamedFile(*this, path, [&produce, &path](const std::string& temporary) {
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Unwritten(path);
    const bool written = produce([file, &path](std::span<const std::uint8_t> piece) {
      return WriteAll(file, piece) || Unwritten(path);
    });
    return (CloseHandle(file) != 0 || Unwritten(path)) && written;
  });
}

// Windows has no unnamed files: every temporary is named when it is made.
bool StagedFiles::PlaceAbsent(Entry&) {
  return false;
}

bool StagedFiles::NameTemporary(Entry&) {
  return true;
}

bool StagedFiles::KeepOlder(Entry& entry) {
  const DWORD attributes = GetFileAttributesA(entry.target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return entry.targetAbsent =
               GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;  // nothing replaces a directory
  std::string backup;
  bool moved = false;
  const bool kept = WithFreshNameBeside(
      entry.target,
      [&](const std::string& name) {
        if (CreateHardLinkA(name.c_str(), entry.target.c_str(), nullptr)) return true;
        if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
        // Where the volume has no hard links (FAT) the older file is moved
        // aside to the name, once the group is recorded.
        moved = true;
        return true;
      },
      backup);
  if (!kept) return false;
  entry.backup = backup;
  entry.backupMoved = moved;
  return true;
}

void StagedFiles::Close(Entry&) {}

ReadOnlyFile::~ReadOnlyFile() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool ReadOnlyFile::Open(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    Explain(path + " cannot be opened: " + LastSystemError());
    lackedHandles_ = error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NOT_ENOUGH_MEMORY ||
                     error == ERROR_NO_SYSTEM_RESOURCES;
    if (lackedHandles_) NoteShortage();
    return false;
  }
  // Devices ("CON", "NUL") and pipes are not disk files and would block or
  // never end.
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Explain(path + " is not a regular file");
    CloseHandle(file);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  size_ = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  return true;
}

bool ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes) {
  if (handle_ == -1 || offset > UINT64_MAX - bytes.size()) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::uint64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), bytes.data() + done, chunk, &got, &where) ||
        got == 0) {
      return false;
    }
    done += got;
  }
  return true;
}

}  // namespace tessarel
