// RAW files on disk as picture and mask image pairs.
#pragma once

#include <cstdint>
#include <string>

#include "files/staged_files.h"
#include "image/pixel_image.h"

namespace tessarel {

// Loads a RAW file whose size is in its file name into picture and mask,
// replacing what they held. On failure they may hold images made before the
// failure; the caller releases them.
bool LoadRawFile(const std::string& path, const std::string& sizeMask, PixelImagePtr& picture,
                 PixelImagePtr& mask);

// The name a RAW file written for outPath gets: the base of outPath, then a
// "(WxH)" suffix unless the name would already read as exactly W x H, then ".raw".
std::string RawOutputPath(const std::string& outPath, std::int32_t width, std::int32_t height,
                          const std::string& sizeMask);

// Writes picture and mask as one RAW file, named by RawOutputPath, that
// Commit puts in place. Fails, keeping nothing, when an image is missing,
// when the file behind an image fails while it is read, or when the file
// cannot be written.
bool StageRawFile(StagedFiles& files, const std::string& outPath, PixelImage* picture,
                  PixelImage* mask, const std::string& sizeMask);

inline bool SaveRawFile(const std::string& outPath, PixelImage* picture, PixelImage* mask,
                        const std::string& sizeMask) {
  StagedFiles files;
  return StageRawFile(files, outPath, picture, mask, sizeMask) && files.Commit();
}

}  // namespace tessarel
