// Any file through the image layer as the converter meets it: loaded from
// disk (plain BMP files are kept as read, others decoded), then every row
// read, as the RAW writer does.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/pixel_image.h"

namespace {

const std::string& InputPath() {
  static const std::string path = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "image-fuzz-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) std::abort();
    return dir + "/input";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(InputPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  tessarel::PixelImagePtr image = tessarel::LoadImageFromFile(InputPath());
  if (!image) return 0;
  const std::uint32_t width = image->Width();
  const std::uint32_t height = image->Height();
  if ((width == 0) != (image->native == nullptr)) std::abort();
  std::vector<std::uint32_t> row(width + 1);
  for (std::uint32_t y = 0; y <= height; ++y) {
    const std::size_t read = image->GetRow(static_cast<std::int32_t>(y), row);
    if (read != (y < height ? width : 0)) std::abort();
  }
  return 0;
}
