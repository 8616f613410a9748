#include <windows.h>

#include <algorithm>

#include "files/read_only_file.h"
#include "platform/failure_reason.h"
#include "platform/shortage.h"

namespace tessarel {

ReadOnlyFile::~ReadOnlyFile() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool ReadOnlyFile::Open(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const std::string reason = LastSystemError();
    // A directory opens only with backup semantics, and is refused as
    // access denied: said as other systems say it.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      Explain(path + " is a directory");
      return false;
    }
    Explain(path + " cannot be opened: " + reason);
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
