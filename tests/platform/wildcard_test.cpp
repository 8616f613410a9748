#include "platform/wildcard.h"

#include <gtest/gtest.h>

namespace tessarel {
namespace {

TEST(MatchWildcard, Table) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*.raw", "1(23x23).raw", true},
      {"*.raw", "a.RAW", true},  // letters compare without regard to case
      {"*.RAW", "a.raw", true},
      {"*.raw", "a.raw.bak", false},
      {"*.raw", ".raw", true},
      {"*.*", ".", true},
      {"*.*", "..", true},
      {"*.*", "noext", false},
      {"*", "", true},
      {"", "a", false},
      {"?.raw", "a.raw", true},
      {"?.raw", ".raw", false},
      {"?.raw", "ab.raw", false},
      {"a*b*c", "axxbyyc", true},
      {"a*b*c", "axxbyy", false},
      {"a*b*c", "abcbc", true},
      {"*x*x*", "x", false},
      // Brackets and other characters are literal.
      {"a[120,160].raw", "a[120,160].raw", true},
      {"a[12].raw", "a1.raw", false},
      {"1*(@wx@h).raw", "1(@wx@h).raw", true},
      {"100%.raw", "100%.raw", true},
      {"\xc3\xa9*", "\xc3\xa9t\xc3\xa9.raw", true},
      {"\xc3\xa9*", "\xc3\x89t\xc3\xa9.raw", false},  // no case folding beyond ASCII
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
  }
}

TEST(MatchWildcard, ManyStarsStayFast) {
  // Backtracking matchers go exponential here; ours is linear per star.
  const std::string pattern = std::string(30, '*') + "b";
  EXPECT_FALSE(MatchWildcard(pattern, std::string(5000, 'a')));
}

}  // namespace
}  // namespace tessarel
