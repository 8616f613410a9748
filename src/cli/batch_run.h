// Convert every file a pattern matches, one result line each.
#pragma once

#include <string>

#include "cli/command_line.h"

namespace tessarel {

void RunBatch(const RunRequest& request);

void ConvertOneFile(const std::string& format, const std::string& sizeMask,
                    const std::string& inputDir, const std::string& fileName,
                    const std::string& outputDir);

}  // namespace tessarel
