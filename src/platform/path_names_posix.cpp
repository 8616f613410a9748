#include "platform/path_names.h"

namespace tessarel {

char PlatformSeparator() {
  return '/';
}

std::string_view NativeSeparators() {
  return "/";
}

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

}  // namespace tessarel
