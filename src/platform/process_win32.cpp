#include <windows.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>

#include "platform/failure_reason.h"
#include "platform/process.h"

namespace tessarel {

// A Windows process has no numbered slots that a new file could take from a
// closed standard stream, and no signal for a reader that has gone: writes
// to a missing or broken one simply fail.
void PrepareStandardStreams() {}

// The process heap is one for every thread already.
void ShareOneHeap() {}

std::string LastSystemError() {
  const DWORD error = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string words = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
  LocalFree(text);
  // The system ends its sentences with a full stop and a line end.
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.')) {
    words.pop_back();
  }
  return words;
}

unsigned UsableProcessors() {
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
    return unsigned(std::popcount(static_cast<std::uintptr_t>(process)));
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

// Files are opened as kernel handles, never through the C runtime's
// descriptors and their limit; a process may hold millions of handles.
std::size_t SpareFileHandles() {
  return std::numeric_limits<std::size_t>::max();
}

}  // namespace tessarel
