// The command line: up to four arguments, recognised by position; a single
// help or version request is the one argument read by what it says.
#pragma once

#include <string>
#include <vector>

namespace tessarel {

enum class RunMode { Usage, Version, Preview, Convert, Nothing };

struct RunRequest {
  RunMode mode = RunMode::Nothing;
  std::string format;     // text after "-c:", letter case as typed
  std::string sizeMask;   // text after "-f:", or the default mask
  std::string pattern;    // file name or wildcard pattern, as typed
  std::string inputDir;   // pattern up to and including its last separator
  std::string outputDir;  // ends in a separator unless empty (current directory)
  std::string notice;     // for standard error: what was probably meant instead
};

// args are the arguments after the program name.
RunRequest ParseCommandLine(const std::vector<std::string>& args);

void PrintUsage();
void PrintVersion();

}  // namespace tessarel
