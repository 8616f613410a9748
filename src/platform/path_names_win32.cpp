// Paths go to the ANSI functions unchanged, so '\' and '/' both separate and
// drive letters work as the user typed them.
#include "platform/path_names.h"

namespace tessarel {

char PlatformSeparator() {
  return '\\';
}

std::string_view NativeSeparators() {
  return "\\/";
}

std::string NativePath(const std::string& path) {
  return path;
}

}  // namespace tessarel
