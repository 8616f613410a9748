// Wildcard patterns matched against listed names where the platform has no
// search of its own (POSIX), by the rules of the Windows directory search.
#pragma once

#include <string_view>

namespace tessarel {

inline char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// '*' matches any run, '?' one character; everything else is literal, with
// ASCII letters compared without regard to case, as the Windows search does.
bool MatchWildcard(std::string_view pattern, std::string_view name);

inline bool HasWildcard(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
}

}  // namespace tessarel
