// File access over Win32: paths go to the ANSI functions unchanged, so
// '\' and '/' both separate and drive letters work as the user typed them.
#include "imaging/file_io.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "imaging/file_io_win32.h"

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

bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  // No access rights and backup semantics: directories and files open alike,
  // even ones another process holds without sharing.
  const HANDLE file = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return ok;
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

// Reserves a fresh empty file beside path (CREATE_NEW: never one that exists),
// named here rather than by GetTempFileNameA, whose result needs a MAX_PATH buffer.
bool CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  std::string dir = DirectoryOf(path);
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  static unsigned counter = 0;
  const std::string prefix = dir + ".tessarel-" + std::to_string(GetCurrentProcessId()) + "-";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    temporary = prefix + std::to_string(++counter) + ".tmp";
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return false;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path,
                           const std::function<bool(const std::string& temporary)>& write) {
  std::string temporary;
  if (!CreateTemporaryBeside(path, temporary)) return false;
  const bool ok = write(temporary) &&
                  MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) DeleteFileA(temporary.c_str());
  return ok;
}

char PlatformSeparator() {
  return '\\';
}

std::string NativePath(const std::string& path) {
  return path;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFileAtomically(const std::string& path,
                         const std::function<bool(const WriteChunk& write)>& produce) {
  return ReplaceFileAtomically(path, [&produce](const std::string& temporary) {
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written =
        produce([file](std::span<const std::uint8_t> piece) { return WriteAll(file, piece); });
    return (CloseHandle(file) != 0) && written;
  });
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  return WriteFileAtomically(path, [bytes](const WriteChunk& write) { return write(bytes); });
}

ReadOnlyFile::~ReadOnlyFile() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool ReadOnlyFile::Open(const std::string& path) {
  if (handle_ != -1) return false;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Devices ("CON", "NUL") and pipes are not disk files and would block or
  // never end.
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
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

bool IsSameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  if (!FileIdentity(a, ia) || !FileIdentity(b, ib)) return false;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace tessarel
