// A journal is held by a handle that shares nothing: while it is open no
// other process can open the file, and so none can take it or delete it;
// Windows closes it when the process dies, however it dies. Hidden files go
// in their target's own directory, so that a rename stays on one volume.
#include <windows.h>

#include <algorithm>
#include <string>

#include "files/journal.h"

namespace tessarel {
namespace {

HANDLE OpenUnshared(const std::string& path, DWORD disposition) {
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(offset);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return where;
}

// The directory that holds path, as a name that opens it: "." stands for the
// current one.
std::string ContainingDirectory(const std::string& path) {
  const std::size_t end = path.find_last_of("\\/:");
  if (end == std::string::npos) return ".";
  std::string dir = path.substr(0, end + 1);
  // "c:" alone would name the root of c:, not its current directory.
  if (dir.back() == ':') dir += '.';
  return dir;
}

}  // namespace

std::string ProcessTag() {
  return std::to_string(GetCurrentProcessId());
}

std::string HiddenDirectory(const std::string& path) {
  std::string dir = ContainingDirectory(path);
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

JournalFile::~JournalFile() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

JournalFile::Made JournalFile::Create(const std::string& path) {
  const HANDLE file = OpenUnshared(path, CREATE_NEW);
  if (file == INVALID_HANDLE_VALUE) {
    // A journal that another process holds, or is deleting, is still there.
    const DWORD error = GetLastError();
    const bool there = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                       error == ERROR_SHARING_VIOLATION ||
                       (error == ERROR_ACCESS_DENIED &&
                        GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    return there ? Made::Taken : Made::Failed;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  path_ = path;
  return Made::Held;
}

bool JournalFile::Claim(const std::string& path) {
  const HANDLE file = OpenUnshared(path, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  path_ = path;
  return true;
}

bool JournalFile::Read(std::string& bytes) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size)) return false;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    OVERLAPPED where = At(done);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), bytes.data() + done, chunk, &got, &where) ||
        got == 0) {
      break;
    }
    done += got;
  }
  bytes.resize(done);
  return true;
}

bool JournalFile::WriteAt(std::uint64_t offset, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    OVERLAPPED where = At(offset + done);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle_), bytes.data() + done, chunk, &written,
                   &where) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

void JournalFile::Delete() {
  if (handle_ == -1) return;
  // Marked for deletion while still held, so that no process opens it between.
  FILE_DISPOSITION_INFO gone{TRUE};
  const bool marked = SetFileInformationByHandle(reinterpret_cast<HANDLE>(handle_),
                                                 FileDispositionInfo, &gone, sizeof gone) != 0;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
  if (!marked) DeleteFileA(path_.c_str());
}

}  // namespace tessarel
