// "mask\nname": any mask against any name.
#include <cstdlib>
#include <string_view>

#include "convert/size_pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\n');
  const std::string_view mask =
      split == std::string_view::npos ? "(@wx@h)" : input.substr(0, split);
  const std::string_view name = split == std::string_view::npos ? input : input.substr(split + 1);
  const tessarel::SizeFromName found = tessarel::ParseSizeFromName(name, mask);
  if (!found.found && (found.width != 0 || found.height != 0)) std::abort();
  return 0;
}
