// The program's entry: parse the command line, do what it asks, return 0.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "app/command_line.h"
#include "image/pixel_image.h"
#include "platform/process.h"
#include "preview/preview.h"

namespace tessarel {
namespace {

int RunTessarel(int argc, char** argv) {
  PrepareStandardStreams();
  ShareOneHeap();
  try {
    ImagingSession imaging;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    const RunRequest request = ParseCommandLine(args);
    if (!request.notice.empty()) std::fprintf(stderr, "Tessarel: %s\n", request.notice.c_str());
    switch (request.mode) {
      case RunMode::Usage:
        PrintUsage();
        break;
      case RunMode::Version:
        PrintVersion();
        break;
      case RunMode::Preview:
        ShowPreview(request.pattern, request.sizeMask);
        break;
      case RunMode::Convert:
        RunBatch(request);
        break;
      case RunMode::Nothing:
        break;
    }
  } catch (const std::exception&) {
    // Only memory exhaustion can get here; the tool's contract is status 0.
  }
  return 0;  // leaving main flushes the result lines
}

}  // namespace
}  // namespace tessarel

int main(int argc, char** argv) {
  return tessarel::RunTessarel(argc, argv);
}
