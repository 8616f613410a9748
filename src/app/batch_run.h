// Convert every file a pattern matches, one result line each, in listing order.
#pragma once

#include <cstddef>

#include "app/command_line.h"

namespace tessarel {

// Never replaces an input or a file the run has written. The files are
// converted side by side on the machine's cores; what the run prints and
// leaves is what converting them one after another would.
void RunBatch(const RunRequest& request);

// The threads that convert a run's files: one per core the machine reports
// (cores is 0 when it cannot tell), at least one, at most eight, and no
// more than there are files.
std::size_t BatchWorkers(unsigned cores, std::size_t files);

}  // namespace tessarel
