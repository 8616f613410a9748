// A picture and its mask saved as two BMP files beside each other.
#pragma once

#include <string>

#include "files/staged_files.h"
#include "image/pixel_image.h"

namespace tessarel {

// Writes base.bmp and base_mask.bmp (base: outPath without its extension) as
// files that Commit puts in place as one unit: both stand, or neither changes.
// An absent image is skipped. Fails, keeping nothing, when a present image
// cannot be saved.
bool StageBmpPair(StagedFiles& files, const std::string& outPath, PixelImage* picture,
                  PixelImage* mask);

inline bool SaveBmpPair(const std::string& outPath, PixelImage* picture, PixelImage* mask) {
  StagedFiles files;
  return StageBmpPair(files, outPath, picture, mask) && files.Commit();
}

}  // namespace tessarel
