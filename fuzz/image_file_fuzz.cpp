// Any file through the image layer as the converter meets it: loaded from
// disk (plain BMP files are kept as read, others decoded), then every row
// read, as the RAW writer does.
#include <cstdlib>
#include <fstream>
#include <vector>

#include "image/pixel_image.h"
#include "scratch_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchDir() + "/input";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), std::streamsize(size));
  tessarel::PixelImagePtr image = tessarel::LoadImageFromFile(path);
  if (!image) return 0;
  const std::uint32_t width = image->Width(), height = image->Height();
  if ((width == 0) != (image->native == nullptr)) std::abort();
  std::vector<std::uint32_t> row(width + 1);
  for (std::uint32_t y = 0; y <= height; ++y) {
    const std::size_t read = image->GetRow(static_cast<std::int32_t>(y), row);
    if (read != (y < height ? width : 0)) std::abort();
  }
  return 0;
}
