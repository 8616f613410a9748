// Runs tests/data/cases (format in its README): a test per file, each case in a fresh directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <regex>
#include <sstream>

#include "platform/path_names.h"
#include "platform/process.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
const fs::path kCases = fs::path(TESSAREL_SOURCE_DIR) / "tests/data/cases";
const std::string kSep(1, PlatformSeparator());
const std::string kVersion = TESSAREL_VERSION;
const std::regex kVerbs(
    "case|only|file|dir|link|limit|openfiles|plainfs|fail|noinput|nooutput|run|out|output|err|"
    "expect|"
    "listing|mode");

const std::regex kFailures(
    "write|link|rename|read|pread|open|exchange|alloc [0-9]+( once)?|kill [0-9]+");

struct Line {
  int number = 0;
  std::string verb, rest;
};

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> std::quoted(word);) words.push_back(word);
  return words;
}

// Files a case leaves are checked against golden bytes, given as inputs are.
Bytes Content(const std::string& text) {
  std::istringstream in(text);
  std::string kind;
  std::size_t count = 0;
  if (in >> kind && kind.starts_with('@')) {
    EXPECT_TRUE(fs::is_regular_file(kCases / kind.substr(1))) << kind;
    return testing::ReadBytes((kCases / kind.substr(1)).string());
  }
  EXPECT_TRUE(kind == "hex" || (kind == "fill" && in >> count)) << text;
  Bytes bytes;
  for (unsigned value; in >> std::hex >> value;) bytes.push_back(std::uint8_t(value));
  return kind == "fill" ? Bytes(count, bytes.at(0)) : bytes;
}

std::vector<std::vector<Line>> ReadCases(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::vector<Line>> cases;
  int number = 0, copies = 1;
  for (std::string text; std::getline(in, text); copies = 1) {
    text = std::regex_replace(text, std::regex(R"(\{sep\})"), kSep);
    std::istringstream words(std::regex_replace(text, std::regex(R"(\{version\})"), kVersion));
    Line line{++number, {}, {}};
    if (!(words >> line.verb) || line.verb.starts_with('#')) continue;
    if (line.verb == "each") words >> copies >> line.verb;
    EXPECT_TRUE(std::regex_match(line.verb, kVerbs)) << file << ":" << number;
    std::getline(words >> std::ws, line.rest);
    if (line.verb == "case" || cases.empty()) cases.emplace_back();
    for (int n = 0; n < copies; ++n) {
      const std::string digits = std::to_string(10000 + n).substr(1);  // "0000", "0001", ...
      cases.back().push_back(
          {number, line.verb, std::regex_replace(line.rest, std::regex(R"(\{n\})"), digits)});
    }
  }
  return cases;
}

void RunCase(const std::vector<Line>& lines) {
  const bool parallel = UsableProcessors() > 1;
  testing::TempDir dir;
  testing::RunLimits limit;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& verb = lines[i].verb;
    SCOPED_TRACE("line " + std::to_string(lines[i].number));
    std::istringstream in(lines[i].rest);
    std::string path, tail;
    std::getline(in >> std::quoted(path) >> std::ws, tail);
    const fs::path full = dir.path() / testing::Utf8Path(path);
    if (verb == "only" && path != testing::kPlatform && (path != "parallel" || !parallel)) return;
    if (verb == "file" || verb == "link") fs::create_directories(full.parent_path());
    if (verb == "file") testing::WriteBytes(full, Content(tail));
    if (verb == "dir") fs::create_directories(full);
    if (verb == "link") fs::create_symlink(testing::Utf8Path(tail), full);
    if (verb == "limit") limit.bytes = std::stoull(path), limit.killAtLimit = tail == "kill";
    if (verb == "openfiles") limit.openFiles = std::stoull(path);
    if (verb == "plainfs" || verb == "fail")
      limit.shim += (limit.shim.empty() ? "" : " ") + (verb == "fail" ? lines[i].rest : verb);
    EXPECT_TRUE(verb != "fail" || std::regex_match(lines[i].rest, kFailures)) << lines[i].rest;
    if (verb == "noinput") limit.noInput = true;
    if (verb == "nooutput") limit.noOutput = true;
    if (verb == "mode") {
      EXPECT_EQ(fs::status(full).permissions() & fs::perms::mask, fs::perms(std::stoi(tail, 0, 8)))
          << path;
    }
    if (verb == "expect") {
      EXPECT_TRUE(fs::is_regular_file(full)) << path;
      EXPECT_EQ(testing::ReadBytes(full), Content(tail)) << path;
    }
    if (verb == "listing") {
      std::vector<std::string> names;
      for (const auto& entry : fs::directory_iterator(full))
        names.push_back(testing::Utf8Text(entry.path().filename()));
      std::ranges::sort(names);
      EXPECT_EQ(names, Words(tail)) << path;
    }
    if (verb != "run") continue;
    std::string expected, errors;
    bool checkErrors = false;
    for (auto j = i + 1;
         j < lines.size() && (lines[j].verb.starts_with("out") || lines[j].verb == "err"); ++j) {
      if (lines[j].verb == "err") {
        checkErrors = true;
        errors += "Tessarel: " + lines[j].rest + '\n';
        continue;
      }
      const Bytes bytes = lines[j].verb == "out" ? Bytes{} : Content(lines[j].rest);
      expected +=
          lines[j].verb == "out" ? lines[j].rest + '\n' : std::string(bytes.begin(), bytes.end());
    }
    const auto result = testing::RunTool(Words(lines[i].rest), dir.path().string(), limit);
    EXPECT_EQ(result.exitCode,
              limit.killAtLimit || limit.shim.find("kill") != std::string::npos ? -1 : 0)
        << result.errors;
    EXPECT_EQ(result.output, expected);
    if (checkErrors) {
      EXPECT_EQ(result.errors, errors);
    }
    limit = {};
  }
}

class Cases : public ::testing::TestWithParam<std::string> {};

TEST_P(Cases, Pass) {
  for (const std::vector<Line>& lines : ReadCases(kCases / (GetParam() + ".cases"))) {
    SCOPED_TRACE(GetParam() + ".cases:" + std::to_string(lines[0].number));
    RunCase(lines);
  }
}

std::vector<std::string> CaseFiles() {
  std::vector<std::string> names;
  for (const fs::directory_entry& file : fs::directory_iterator(kCases)) {
    if (file.path().extension() == ".cases") names.push_back(file.path().stem().string());
  }
  return names;
}

INSTANTIATE_TEST_SUITE_P(Data, Cases, ::testing::ValuesIn(CaseFiles()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace tessarel
