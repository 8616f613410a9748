// Failures for want of memory or open files. They say nothing about the file
// at hand: the same file may convert once fewer files are in flight, so the
// batch counts them to know which failures to try again alone.
#pragma once

#include <cstdint>

namespace tessarel {

// Called wherever an allocation or an open fails for want of resources;
// safe from any thread.
void NoteShortage();

// Whether error, an errno value from a failed open or creation, is a want of
// memory or descriptors, which another moment may have; noted if so.
bool NoteIfShortage(int error);

// How many shortages the process has met so far.
std::uint64_t ShortagesSoFar();

}  // namespace tessarel
