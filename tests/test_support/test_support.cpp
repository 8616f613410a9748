#include "test_support/test_support.h"

#include <fstream>
#include <iterator>
#include <random>

#include "files/staged_files.h"

namespace tessarel::testing {

TempDir::TempDir() {
  std::mt19937_64 random(std::random_device{}());
  do {
    path_ = std::filesystem::temp_directory_path() / ("tessarel-test-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(path_));
}

TempDir::~TempDir() {
  ReleaseJournals(path_.string());
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string TestDataDir() {
  return TESSAREL_TESTDATA;
}

}  // namespace tessarel::testing
