#include "convert/size_pattern.h"

#include <gtest/gtest.h>

namespace tessarel {
namespace {

TEST(ParseSizeMask, Delimiters) {
  struct Case {
    const char* mask;
    SizeMask want;
  };
  const Case cases[] = {
      {"(@wx@h)", {'(', 'x', 'x', ')'}},
      {"(@Wx@H)", {'(', 'x', 'x', ')'}},
      {"[@w,@h]", {'[', ',', ',', ']'}},
      {"@wx@h", {0, 'x', 'x', 0}},           // leading placeholder: no opening delimiter
      {"_@w_@h_@w-", {'_', '-', '_', '_'}},  // a later placeholder of a kind wins
      {"@", {0, 0, 0, 0}},
      {"", {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    const SizeMask m = ParseSizeMask(c.mask);
    EXPECT_EQ(m.widthOpen, c.want.widthOpen);
    EXPECT_EQ(m.widthClose, c.want.widthClose);
    EXPECT_EQ(m.heightOpen, c.want.heightOpen);
    EXPECT_EQ(m.heightClose, c.want.heightClose);
  }
}

TEST(ParseSizeFromName, Names) {
  struct Case {
    std::string name;
    const char* mask;
    bool found;
    int width, height;
  };
  const std::string longName = std::string(400, 'a') + "(640x480).raw";
  const Case cases[] = {
      {"c:\\1(23x23).raw", "(@wx@h)", true, 23, 23},
      {"1(23x23).raw", "(@Wx@H)", true, 23, 23},
      {"pic.bmp", "(@wx@h)", false, 0, 0},
      {"box.bmp", "(@wx@h)", true, 0, 0},
      {"pic).bmp", "(@wx@h)", false, 0, 0},
      {"", "(@wx@h)", false, 0, 0},
      // The x after the size moves the height's start past its end.
      {"c:\\1(23x23)x.raw", "(@wx@h)", true, 23, 0},
      {"c:\\x\\pic(23x23).raw", "(@wx@h)", true, 23, 23},
      {"a[120,160].raw", "[@w,@h]", true, 120, 160},
      // A start at index 0 never records its end: the number right after it.
      {"(23x23).raw", "(@wx@h)", true, 23, 23},
      // Delimiters but no numbers: found, both 0.
      {"pic(x).raw", "(@wx@h)", true, 0, 0},
      {"pic().raw", "(@wx@h)", true, 0, 0},
      // The scan skips white space and takes a sign, as "%d" does.
      {"a( 7x -3).raw", "(@wx@h)", true, 7, -3},
      {"a(+7x9).raw", "(@wx@h)", true, 7, 9},
      // A '%' is an ordinary character, not a format directive.
      {"100%(16x8).raw", "(@wx@h)", true, 16, 8},
      {"a(%dx%n).raw", "(@wx@h)", true, 0, 0},
      // Numbers that do not fit 32 bits are not read.
      {"a(2147483647x2147483648).raw", "(@wx@h)", true, 2147483647, 0},
      {"a(-2147483648x99999999999999999999).raw", "(@wx@h)", true, -2147483647 - 1, 0},
      // No closing delimiter after the opening one: the number right after it.
      {"a]b[5.raw", "[@w]", true, 5, 0},
      // A closing delimiter seen only before the final opening one reads nothing.
      {"a[1]b[5.raw", "[@w]", true, 0, 0},
      // Last occurrence of each opening delimiter counts.
      {"(1x2)(30x40).raw", "(@wx@h)", true, 30, 40},
      // Placeholder at the very start of the mask: that dimension is never found.
      {"12x34", "@wx@h", true, 0, 34},
      {longName, "(@wx@h)", true, 640, 480},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " / " + c.mask);
    const SizeFromName s = ParseSizeFromName(c.name, c.mask);
    EXPECT_EQ(s.found, c.found);
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.height, c.height);
  }
}

}  // namespace
}  // namespace tessarel
