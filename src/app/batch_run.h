// Convert every file a pattern matches, one result line each.
#pragma once

#include <string>

#include "app/command_line.h"
#include "platform/file_io.h"

namespace tessarel {

void RunBatch(const RunRequest& request);

// fileName is a name the directory listing gave: one path component, used
// whole. Never replaces the input or a file in protect, which gains the
// files written.
void ConvertOneFile(const std::string& format, const std::string& sizeMask,
                    const std::string& inputDir, const std::string& fileName,
                    const std::string& outputDir, ProtectedFiles& protect);

}  // namespace tessarel
