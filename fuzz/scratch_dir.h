// For targets that go through files: one directory per process, removed with
// everything in it when the process exits normally.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

inline const std::string& ScratchDir() {
  struct Dir {
    std::string path = (std::filesystem::temp_directory_path() / "tessarel-fuzz-XXXXXX").string();
    Dir() {
      if (mkdtemp(path.data()) == nullptr) std::abort();
    }
    ~Dir() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Dir dir;
  return dir.path;
}
