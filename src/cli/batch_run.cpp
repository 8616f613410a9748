#include "cli/batch_run.h"

#include <cstdio>
#include <string_view>

#include "cli/directory.h"
#include "cli/wildcard.h"
#include "imaging/bmp_export.h"
#include "imaging/source_image.h"
#include "raw/raw_file.h"

namespace tessarel {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

void PrintResult(const std::string& path, const char* result) {
  std::fputs(path.c_str(), stdout);
  std::fputs(result, stdout);
}

}  // namespace

void ConvertOneFile(const std::string& format, const std::string& sizeMask,
                    const std::string& inputDir, const std::string& fileName,
                    const std::string& outputDir) {
  if (fileName.find("_mask.") != std::string::npos) return;
  const std::string inPath = inputDir + fileName;
  const std::string outPath = outputDir + fileName;
  PixelImagePtr picture, mask;
  bool saved;
  if (EqualsIgnoringCase(format, "bmp")) {
    if (!LoadRawFile(inPath, sizeMask, picture, mask)) {
      PrintResult(inPath, " -ERROR LOAD\n");
      return;
    }
    saved = SaveBmpPair(outPath, picture.get(), mask.get(), inPath);
  } else if (EqualsIgnoringCase(format, "raw")) {
    if (!LoadSourceImage(inPath, picture, mask)) {
      PrintResult(inPath, " -ERROR LOAD\n");
      return;
    }
    saved = SaveRawFile(outPath, picture.get(), mask.get(), sizeMask, inPath);
  } else {
    std::fputs("Wrong Parameters\n", stdout);
    return;
  }
  if (saved) {
    PrintResult(inPath, " -OK\n");
  } else {
    PrintResult(outPath, " -FAILD\n");
  }
}

void RunBatch(const RunRequest& request) {
  CreateOutputDirectory(request.outputDir);
  for (const std::string& name : FindMatchingNames(request.pattern)) {
    ConvertOneFile(request.format, request.sizeMask, request.inputDir, name, request.outputDir);
  }
}

}  // namespace tessarel
