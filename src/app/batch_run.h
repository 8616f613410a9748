// Convert every file a pattern matches, one result line each, in listing order.
#pragma once

#include "app/command_line.h"

namespace tessarel {

// Never replaces an input or a file the run has written. The files are
// converted side by side on the processors the process may use, as many at
// a time as its open-file limit allows; what the run prints and leaves is
// what converting them one after another would.
void RunBatch(const RunRequest& request);

}  // namespace tessarel
