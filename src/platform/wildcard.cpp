#include "platform/wildcard.h"

#include <cstddef>

namespace tessarel {
bool MatchWildcard(std::string_view pattern, std::string_view name) {
  // Greedy match with one backtrack point (the latest '*'): linear in
  // practice and never recursive, so no pattern can blow the stack.
  std::size_t p = 0, n = 0;
  std::size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace tessarel
