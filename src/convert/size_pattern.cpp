#include "convert/size_pattern.h"

#include <cstddef>
#include <limits>

namespace tessarel {
namespace {

// Reads a number the way "%d" does (optional white space, optional sign,
// decimal digits) starting at pos. A '%' or anything else in the name is just
// a character here: the name is never used as a format string. A value that
// does not fit 32 bits counts as not read.
bool ScanDecimal(std::string_view text, std::size_t pos, std::int32_t& value) {
  while (pos < text.size() && IsScanSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                      : std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;  // no digits read as 0, which no dimension is
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > limit) return false;
  }
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

// One dimension between the positions found for it. The number is read right
// after the opening delimiter when at least one character separates it from
// the closing one, or when no closing delimiter was recorded at all; an empty
// stretch, an end before the start, or no start at all reads nothing.
std::int32_t ReadDimension(std::string_view name, std::ptrdiff_t start, std::ptrdiff_t end) {
  if (start < 0) return 0;
  if (end != -1 && end <= start + 1) return 0;
  std::int32_t value = 0;
  return ScanDecimal(name, static_cast<std::size_t>(start) + 1, value) ? value : 0;
}

}  // namespace

SizeMask ParseSizeMask(std::string_view mask) {
  SizeMask result;
  auto at = [&](std::size_t i) { return i < mask.size() ? mask[i] : '\0'; };
  for (std::size_t i = 0; i < mask.size(); ++i) {
    if (mask[i] != '@') continue;
    // No character before a leading placeholder: 0, which never matches.
    const char open = i > 0 ? mask[i - 1] : '\0';
    const char kind = at(i + 1);
    if (kind == 'w' || kind == 'W') {
      result.widthOpen = open;
      result.widthClose = at(i + 2);
    } else if (kind == 'h' || kind == 'H') {
      result.heightOpen = open;
      result.heightClose = at(i + 2);
    }
  }
  return result;
}

SizeFromName ParseSizeFromName(std::string_view name, std::string_view maskText) {
  SizeFromName result;
  const SizeMask mask = ParseSizeMask(maskText);
  auto matches = [](char c, char delimiter) { return delimiter != '\0' && c == delimiter; };

  std::ptrdiff_t widthStart = -1, widthEnd = -1, heightStart = -1, heightEnd = -1;
  for (std::size_t u = 0; u < name.size(); ++u) {
    const auto i = static_cast<std::ptrdiff_t>(u);
    const char c = name[u];
    if (matches(c, mask.widthOpen)) widthStart = i;
    if (widthStart > 0 && matches(c, mask.widthClose)) widthEnd = i;
    if (matches(c, mask.heightOpen)) heightStart = i;
    if (heightStart > 0 && matches(c, mask.heightClose)) heightEnd = i;
  }
  result.found = !(widthStart == -1 && widthEnd == -1 && heightStart == -1 && heightEnd == -1);
  if (!result.found) return result;
  result.width = ReadDimension(name, widthStart, widthEnd);
  result.height = ReadDimension(name, heightStart, heightEnd);
  return result;
}

}  // namespace tessarel
