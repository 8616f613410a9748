#include "app/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "test_support/test_support.h"

namespace tessarel {
namespace {

using testing::Sep;

struct FormCase {
  std::vector<std::string> args;
  RunMode mode;
  std::string format, sizeMask, pattern, inputDir, outputDir;
};

// Directories the parser makes end in a separator use the platform's own.
std::string S(std::string text) {
  for (char& c : text) {
    if (c == '|') c = Sep();
  }
  return text;
}

TEST(ParseCommandLine, ArgumentForms) {
  const std::string def = "(@wx@h)";
  const std::vector<FormCase> cases = {
      {{}, RunMode::Usage, "", def, "", "", ""},
      {{"pic(23x23).raw"}, RunMode::Preview, "", def, "pic(23x23).raw", "", ""},
      {{"/?"}, RunMode::Preview, "", def, "/?", "/", ""},
      {{"-f:(@wx@h)", "pic(23x23).raw"}, RunMode::Preview, "", "(@wx@h)", "pic(23x23).raw", "", ""},
      {{"-f:[@w,@h]", "a\\b.raw"}, RunMode::Preview, "", "[@w,@h]", "a\\b.raw", "a\\", ""},
      {{"-c:raw", "pic.bmp"}, RunMode::Convert, "raw", def, "pic.bmp", "", ""},
      {{"-c:BMP", "c:\\in\\*.raw"},
       RunMode::Convert,
       "BMP",
       def,
       "c:\\in\\*.raw",
       "c:\\in\\",
       "c:\\in\\"},
      // "-f:" with nothing after it is no mask: the two-argument Convert form.
      {{"-f:", "x.raw"}, RunMode::Convert, "", def, "x.raw", "", ""},
      {{"-c:BMP", "c:\\123\\*.raw", "c:\\321"},
       RunMode::Convert,
       "BMP",
       def,
       "c:\\123\\*.raw",
       "c:\\123\\",
       S("c:\\321|")},
      {{"-c:BMP", "c:\\123\\*.raw", "c:\\321\\"},
       RunMode::Convert,
       "BMP",
       def,
       "c:\\123\\*.raw",
       "c:\\123\\",
       "c:\\321\\"},
      {{"-c:BMP", "in/*.raw", "out/"}, RunMode::Convert, "BMP", def, "in/*.raw", "in/", "out/"},
      {{"-c:RAW", "-f:[@w,@h]", "c:\\in\\*.bmp"},
       RunMode::Convert,
       "RAW",
       "[@w,@h]",
       "c:\\in\\*.bmp",
       "c:\\in\\",
       "c:\\in\\"},
      {{"-C:BMP", "x.raw", "out"}, RunMode::Convert, "", def, "x.raw", "", S("out|")},
      // An empty output argument is the current directory, never the root.
      {{"-c:BMP", "x.raw", ""}, RunMode::Convert, "BMP", def, "x.raw", "", ""},
      {{"-c:bmp", "-f:[@w,@h]", "d/a.raw", "o"},
       RunMode::Convert,
       "bmp",
       "[@w,@h]",
       "d/a.raw",
       "d/",
       S("o|")},
      // Four arguments without "-f:": no default, the mask stays empty.
      {{"-c:bmp", "x", "d\\a.raw", "o\\"}, RunMode::Convert, "bmp", "", "d\\a.raw", "d\\", "o\\"},
      // Options are found by position only; the value ends at white space.
      {{"-c: raw extra", "-c:BMP", "p"}, RunMode::Convert, "raw", def, "-c:BMP", "", S("p|")},
      {{"a", "b", "c", "d", "e"}, RunMode::Nothing, "", def, "", "", ""},
  };
  for (const FormCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const RunRequest r = ParseCommandLine(c.args);
    EXPECT_EQ(r.mode, c.mode);
    EXPECT_EQ(r.format, c.format);
    if (c.mode != RunMode::Nothing && c.mode != RunMode::Usage) {
      EXPECT_EQ(r.sizeMask, c.sizeMask);
    }
    EXPECT_EQ(r.pattern, c.pattern);
    if (c.mode == RunMode::Convert) {
      EXPECT_EQ(r.inputDir, c.inputDir);
      EXPECT_EQ(r.outputDir, c.outputDir);
    }
  }
}

TEST(ParseCommandLine, LongOptionValuesAreKeptWhole) {
  const std::string mask = "[@w," + std::string(300, 'y') + "@h]";
  const RunRequest r = ParseCommandLine({"-c:" + std::string(500, 'q'), "-f:" + mask, "p"});
  EXPECT_EQ(r.format.size(), 500u);
  EXPECT_EQ(r.sizeMask, mask);
}

std::string Golden() {
  std::ifstream in(std::string(TESSAREL_SOURCE_DIR) + "/tests/data/usage.txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Entry, NoArgumentsPrintsTheUsageTextExactly) {
  testing::TempDir dir;
  const testing::ToolResult result = testing::RunTool({}, dir.path().string());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, Golden());
}

TEST(Entry, FiveArgumentsDoNothingAtAll) {
  testing::TempDir dir;
  const testing::ToolResult result =
      testing::RunTool({"-c:BMP", "*.raw", "out", "x", "y"}, dir.path().string());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Entry, UnloadablePreviewReturnsSilently) {
  testing::TempDir dir;
  for (const auto& args : std::vector<std::vector<std::string>>{{"/?"}, {"pic.raw"}}) {
    const testing::ToolResult result = testing::RunTool(args, dir.path().string());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
  }
}

}  // namespace
}  // namespace tessarel
