// Failures for want of memory or open files. They say nothing about the file
// at hand: the same file may convert once fewer files are in flight, so the
// batch counts them to know which failures to try again alone.
#pragma once

#include <cstdint>

namespace tessarel {

// Called wherever an allocation or an open fails for want of resources;
// safe from any thread.
void NoteShortage();

// How many shortages the process has met so far.
std::uint64_t ShortagesSoFar();

}  // namespace tessarel
