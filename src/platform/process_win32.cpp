#include <windows.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <thread>

#include "platform/process.h"

namespace tessarel {

// A Windows process has no numbered slots that a new file could take from a
// closed standard stream, and no signal for a reader that has gone: writes
// to a missing or broken one simply fail.
void PrepareStandardStreams() {}

// The process heap is one for every thread already.
void ShareOneHeap() {}

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
