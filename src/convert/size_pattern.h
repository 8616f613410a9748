// Width and height carried in a file name, located by a size mask such as
// "(@wx@h)": the characters around each @w / @h placeholder delimit the numbers.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessarel {

inline constexpr std::string_view DefaultSizeMask = "(@wx@h)";

// White space as the standard formatted scans (%d, %s) skip it.
inline bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct SizeMask {
  char widthOpen = 0;
  char widthClose = 0;
  char heightOpen = 0;
  char heightClose = 0;
};

struct SizeFromName {
  bool found = false;  // the name holds the width's or the height's opening delimiter
  std::int32_t width = 0;
  std::int32_t height = 0;
};

SizeMask ParseSizeMask(std::string_view mask);
SizeFromName ParseSizeFromName(std::string_view name, std::string_view maskText);

}  // namespace tessarel
