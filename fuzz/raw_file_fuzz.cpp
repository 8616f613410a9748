// RAW file contents through the loader, with the size in the name taken from
// the first two bytes; whatever loads must save back to the same planes.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/raw_codec.h"
#include "convert/raw_file.h"

namespace {

const std::string& WorkDir() {
  static const std::string dir = [] {
    std::string path = (std::filesystem::temp_directory_path() / "raw-fuzz-XXXXXX").string();
    if (mkdtemp(path.data()) == nullptr) std::abort();
    return path;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Signed, so that negative and zero sizes are tried too.
  const int width = static_cast<std::int8_t>(data[0]) % 40;
  const int height = static_cast<std::int8_t>(data[1]) % 40;
  const std::string name = WorkDir() + "/in(" + std::to_string(width) + "x" +
                           std::to_string(height) + ").raw";
  {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 2), std::streamsize(size - 2));
  }
  tessarel::PixelImagePtr picture, mask;
  const bool loaded = tessarel::LoadRawFile(name, "(@wx@h)", picture, mask);
  std::remove(name.c_str());
  if (!loaded) return 0;

  tessarel::RawSizes sizes;
  if (!tessarel::RawLayout(width, height, sizes) || size - 2 < sizes.colourBytes + sizes.maskBytes) {
    std::abort();  // loaded something it should have refused
  }
  const std::string saved = WorkDir() + "/out.bmp";
  if (!tessarel::SaveRawFile(saved, picture.get(), mask.get(), "(@wx@h)")) std::abort();
  const std::string written = tessarel::RawOutputPath(saved, width, height, "(@wx@h)");
  std::ifstream in(written, std::ios::binary);
  const std::vector<char> back{std::istreambuf_iterator<char>(in), {}};
  std::remove(written.c_str());
  if (back.size() != sizes.fileBytes ||
      std::memcmp(back.data(), data + 2, sizes.colourBytes) != 0) {
    std::abort();
  }
  // Transparency bits of real pixels survive; bits past the last pixel are 0.
  for (std::size_t i = 0; i < sizes.pixels; ++i) {
    const auto bit = [&](const std::uint8_t* plane) { return plane[i / 8] & (0x80 >> (i % 8)); };
    const auto* original = data + 2 + sizes.colourBytes;
    const auto* copy = reinterpret_cast<const std::uint8_t*>(back.data()) + sizes.colourBytes;
    if (bool(bit(original)) != bool(bit(copy))) std::abort();
  }
  return 0;
}
