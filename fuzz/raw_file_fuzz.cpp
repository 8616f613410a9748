// RAW file contents through the loader, with the size in the name taken from
// the first two bytes; whatever loads must save back to the same planes, with
// the bits past the last pixel and the parity byte zero.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/raw_codec.h"
#include "convert/raw_file.h"
#include "scratch_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Signed, so that negative and zero sizes are tried too.
  const int width = static_cast<std::int8_t>(data[0]) % 40;
  const int height = static_cast<std::int8_t>(data[1]) % 40;
  const std::string name =
      ScratchDir() + "/in(" + std::to_string(width) + "x" + std::to_string(height) + ").raw";
  std::ofstream(name, std::ios::binary)
      .write(reinterpret_cast<const char*>(data + 2), std::streamsize(size - 2));
  tessarel::PixelImagePtr picture, mask;
  const bool loaded = tessarel::LoadRawFile(name, "(@wx@h)", picture, mask);
  std::remove(name.c_str());
  if (!loaded) return 0;

  tessarel::RawSizes sizes;
  if (!tessarel::RawLayout(width, height, sizes) ||
      size - 2 < sizes.colourBytes + sizes.maskBytes) {
    std::abort();  // loaded something it should have refused
  }
  std::vector<std::uint8_t> expected(data + 2, data + 2 + sizes.colourBytes + sizes.maskBytes);
  if (sizes.pixels % 8 != 0)
    expected.back() &= static_cast<std::uint8_t>(0xFF00 >> (sizes.pixels % 8));
  expected.resize(sizes.fileBytes, 0);
  const std::string saved = ScratchDir() + "/out.bmp";
  if (!tessarel::SaveRawFile(saved, picture.get(), mask.get(), "(@wx@h)")) std::abort();
  const std::string written = tessarel::RawOutputPath(saved, width, height, "(@wx@h)");
  std::ifstream in(written, std::ios::binary);
  const std::vector<std::uint8_t> back{std::istreambuf_iterator<char>(in), {}};
  std::remove(written.c_str());
  if (back != expected) std::abort();
  return 0;
}
