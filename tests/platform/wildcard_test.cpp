// Which names a pattern matches, from tests/data/units/wildcard.txt.
#include "platform/wildcard.h"

#include <gtest/gtest.h>

#include <sstream>

#include "codec/codec_tables.h"

namespace tessarel {
namespace {

TEST(Wildcard, MatchesWhatTheTableSays) {
  for (const std::string& line : testing::TableLines("units/wildcard.txt")) {
    std::istringstream in(line);
    std::string pattern, name, matches;
    std::getline(std::getline(std::getline(in, pattern, '|'), name, '|'), matches);
    EXPECT_TRUE(matches == "0" || matches == "1") << line;
    EXPECT_EQ(MatchWildcard(pattern, name), matches == "1") << line;
  }
  // One backtrack point, not one per star: no pattern takes exponential time.
  EXPECT_FALSE(MatchWildcard(std::string(30, '*') + "b", std::string(5000, 'a')));
  // A pattern ends where its view does, whatever follows it in memory.
  EXPECT_TRUE(MatchWildcard(std::string_view("*aa").substr(0, 2), "aa"));
}

}  // namespace
}  // namespace tessarel
