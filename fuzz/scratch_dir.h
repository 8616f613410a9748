// For targets that go through files: one directory per process, removed with
// everything in it when the process exits normally.
#pragma once

#include <string>

#include "test_support/test_support.h"

inline const std::string& ScratchDir() {
  static const tessarel::testing::TempDir dir;
  static const std::string path = dir.path().string();
  return path;
}
