#include "platform/path_names.h"

namespace tessarel {

std::size_t FileNameStart(std::string_view path) {
  const std::size_t last = path.find_last_of(NativeSeparators());
  return last == std::string_view::npos ? 0 : last + 1;
}

std::string BaseOfPath(std::string_view path) {
  const std::size_t nameStart = FileNameStart(path);
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || dot < nameStart) return std::string(path);
  return std::string(path.substr(0, dot));
}

std::string CompanionMaskName(std::string_view path) {
  return BaseOfPath(path) + "_mask.bmp";
}

}  // namespace tessarel
