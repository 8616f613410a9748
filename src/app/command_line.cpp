#include "app/command_line.h"

#include <cstdio>
#include <string_view>

#include "convert/size_pattern.h"
#include "platform/path_names.h"

namespace tessarel {
namespace {

// Reads "-c:value" / "-f:value" as a "%s" scan would: the prefix must match
// exactly, leading white space is skipped, the value ends at white space.
// Otherwise value keeps what it held.
void ReadOption(std::string_view arg, std::string_view prefix, std::string& value) {
  if (arg.substr(0, prefix.size()) != prefix) return;
  std::size_t begin = prefix.size();
  while (begin < arg.size() && IsScanSpace(arg[begin])) ++begin;
  std::size_t end = begin;
  while (end < arg.size() && !IsScanSpace(arg[end])) ++end;
  if (end > begin) value.assign(arg.substr(begin, end - begin));
}

std::string DirectoryPrefix(const std::string& pattern) {
  std::size_t start = pattern.size();
  while (start > 0 && !IsTypedSeparator(pattern[start - 1])) --start;
  return pattern.substr(0, start);
}

// An empty argument stays empty (the current directory): appending a
// separator to it would send the output to the root of the file system.
std::string EndInSeparator(std::string dir) {
  if (!dir.empty() && !IsTypedSeparator(dir.back())) dir.push_back(PlatformSeparator());
  return dir;
}

// The spellings people try first on Linux and on Windows. Any other single
// argument is a file to preview, whatever it looks like.
RunMode ModeOfOneArgument(const std::string& arg) {
  if (arg == "--help" || arg == "-h" || arg == "-?" || arg == "/?") return RunMode::Usage;
  if (arg == "--version") return RunMode::Version;
  return RunMode::Preview;
}

}  // namespace

RunRequest ParseCommandLine(const std::vector<std::string>& args) {
  RunRequest request;
  request.sizeMask = std::string(DefaultSizeMask);
  std::string mask;
  // A conversion writes beside its input unless an output directory is given.
  const std::string* outputArg = nullptr;
  switch (args.size()) {
    case 0:
      request.mode = RunMode::Usage;
      return request;
    case 1:
      request.mode = ModeOfOneArgument(args[0]);
      if (request.mode != RunMode::Preview) return request;
      request.pattern = args[0];
      break;
    case 2:
      ReadOption(args[0], "-f:", mask);
      request.pattern = args[1];
      if (!mask.empty()) {
        request.mode = RunMode::Preview;
        request.sizeMask = mask;
      } else {
        request.mode = RunMode::Convert;
        ReadOption(args[0], "-c:", request.format);
      }
      break;
    case 3:
      request.mode = RunMode::Convert;
      ReadOption(args[0], "-c:", request.format);
      ReadOption(args[1], "-f:", mask);
      if (mask.empty()) {
        request.pattern = args[1];
        outputArg = &args[2];
      } else {
        request.sizeMask = mask;
        request.pattern = args[2];
      }
      break;
    case 4:
      request.mode = RunMode::Convert;
      ReadOption(args[0], "-c:", request.format);
      // No default here: without a "-f:" option the mask stays empty.
      request.sizeMask.clear();
      ReadOption(args[1], "-f:", request.sizeMask);
      // Most often a pattern the shell expanded into several names.
      if (request.sizeMask.empty()) {
        request.notice = args[1] +
                         ": not a -f: option, so no size mask: quote the pattern so that the "
                         "shell does not expand it";
      }
      request.pattern = args[2];
      outputArg = &args[3];
      break;
    default:
      request.mode = RunMode::Nothing;
      return request;
  }
  request.inputDir = DirectoryPrefix(request.pattern);
  if (request.mode == RunMode::Convert) {
    request.outputDir = outputArg != nullptr ? EndInSeparator(*outputArg) : request.inputDir;
  }
  return request;
}

void PrintUsage() {
  static constexpr const char* kHead[] = {
      "\n",
      "Tessarel & Preview by Halvik\n",
      "------------------------------------\n",
      "\n",
      "Tessarel.exe [-c:ImageFormat] [-f:W&HMask] [Path\\]FileName [Output path]\n",
      "\n",
      "     ImageFormat - image format (RAW or BMP) to convert to\n",
      "\n",
      "     W&HMask - mask of width and height in RAW image, default (@wx@h)\n",
      "     Tessarel can convert GIF files to RAW using transparent color for mask\n",
      "     You can use filemask (c:\\*.*, c:\\1*(@wx@h).raw) in FileName parameter\n",
      "Examples:\n",
  };
  static constexpr const char* kExamples[][2] = {
      {"  1) convert RAW to BMP with default format to c:\\123\\ folder\n",
       "  Tessarel.exe -c:BMP c:\\1(23x23).raw c:\\123\n"},
      {"  2) convert RAW to BMP with specific W&HMask to c:\\123 folder \n",
       "  Tessarel.exe -c:BMP -f:(@wx@h) c:\\1(23x23).raw c:\\123 \n"},
      {"  3) convert BMP to RAW to c:\\123 folder \n",
       "  Tessarel.exe -c:RAW c:\\1(23x23).bmp c:\\123\n"},
      {"  4) convert GIF to RAW to c:\\123 folder \n",
       "  Tessarel.exe -c:RAW c:\\1(23x23).gif c:\\123\n"},
      {"  5) convert all RAW to BMP in c:\\123 folder to c:\\321 folder \n",
       "  Tessarel.exe -c:BMP c:\\123\\*.raw c:\\321\n"},
      {"  6) convert all BMP to RAW in c:\\123 folder to c:\\321 folder \n",
       "  Tessarel.exe -c:RAW c:\\123\\*.bmp c:\\321\n"},
      {"  7) convert all GIF to RAW in c:\\123 folder to c:\\321 folder \n",
       "  Tessarel.exe -c:RAW c:\\123\\*.gif c:\\321\n"},
      {"  8) to preview raw image with specific W&HMask\n",
       "  Tessarel.exe -f:(@wx@h) c:\\1(23x23).raw\n"},
      {"  9) to preview raw image with default W&HMask\n", "  Tessarel.exe c:\\1(23x23).raw\n"},
  };
  for (const char* line : kHead) std::fputs(line, stdout);
  for (const auto& example : kExamples) {
    std::fputs("\n", stdout);
    std::fputs(example[0], stdout);
    std::fputs(example[1], stdout);
  }
  std::fputs("\n", stdout);
}

void PrintVersion() {
  std::fputs("Tessarel " TESSAREL_VERSION "\n", stdout);
}

}  // namespace tessarel
