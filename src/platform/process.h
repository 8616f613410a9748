// What the process may use: its standard streams, its processors, its open files.
#pragma once

#include <cstddef>

namespace tessarel {

// Opens each closed standard descriptor (0, 1, 2) on the null device, so that
// no file the run opens can take its place and receive the result lines, and
// lets a write to a reader that has gone fail rather than end the run: the
// result lines, wherever they go, change no file and stop no conversion.
void PrepareStandardStreams();

// Makes every thread allocate from one heap: a heap of a thread's own
// reserves address space it may never use, which a limit on address space
// (ulimit -v) would take from the files converted beside it.
void ShareOneHeap();

// The processors the process may run on (its affinity, not the machine's
// count); at least 1.
unsigned UsableProcessors();

// How many more files the process can hold open at once before the system
// refuses one; a large number where no limit is near.
std::size_t SpareFileHandles();

}  // namespace tessarel
