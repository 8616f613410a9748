#include "app/batch_run.h"

#include <cstdio>
#include <string_view>

#include "convert/bmp_pair.h"
#include "convert/picture_source.h"
#include "convert/raw_file.h"
#include "platform/directory.h"
#include "platform/wildcard.h"

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
                    const std::string& outputDir, ProtectedFiles& protect) {
  if (fileName.find("_mask.") != std::string::npos) return;
  // As printed: the directories as typed. As used: the typed directories made
  // native, then the listed name as it is.
  const std::string inPath = inputDir + fileName;
  const std::string outPath = outputDir + fileName;
  const std::string inFile = NativePath(inputDir) + fileName;
  const std::string outFile = NativePath(outputDir) + fileName;
  PixelImagePtr picture, mask;
  bool saved;
  if (EqualsIgnoringCase(format, "bmp")) {
    if (!LoadRawFile(inFile, sizeMask, picture, mask)) {
      PrintResult(inPath, " -ERROR LOAD\n");
      return;
    }
    protect.SetInput(inFile);
    saved = SaveBmpPair(outFile, picture.get(), mask.get(), &protect);
  } else if (EqualsIgnoringCase(format, "raw")) {
    if (!LoadSourceImage(inFile, picture, mask)) {
      PrintResult(inPath, " -ERROR LOAD\n");
      return;
    }
    protect.SetInput(inFile);
    saved = SaveRawFile(outFile, picture.get(), mask.get(), sizeMask, &protect);
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
  const auto dirOf = [](const std::string& typed) {
    return typed.empty() ? "." : NativePath(typed);
  };
  ProtectedFiles protect(dirOf(request.inputDir), dirOf(request.outputDir));
  for (const std::string& name : FindMatchingNames(request.pattern)) {
    ConvertOneFile(request.format, request.sizeMask, request.inputDir, name, request.outputDir,
                   protect);
  }
}

}  // namespace tessarel
