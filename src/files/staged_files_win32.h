// What the GDI+ image saver needs beyond staged_files.h.
#pragma once

#include <functional>
#include <string>

#include "files/staged_files.h"

namespace tessarel {

// Adds to files a file that write makes under the temporary name it is given,
// for writers that take a name rather than pieces; false, keeping nothing,
// when write fails.
bool StageNamedFile(StagedFiles& files, const std::string& path,
                    const std::function<bool(const std::string& temporary)>& write);

}  // namespace tessarel
