#include "convert/bmp_pair.h"

#include <vector>

#include "platform/file_io.h"
#include "platform/path_names.h"

namespace tessarel {

bool FindEncoderClsid(std::string_view mimeType, Guid& clsid) {
  std::vector<ImageEncoderInfo> encoders;
  if (!ListImageEncoders(encoders)) return false;
  bool found = false;
  for (const ImageEncoderInfo& encoder : encoders) {
    if (encoder.mimeType == mimeType) {
      clsid = encoder.clsid;
      found = true;
    }
  }
  return found;
}

bool SaveBmpPair(const std::string& outPath, PixelImage* picture, PixelImage* mask,
                 ProtectedFiles* protect) {
  const std::string base = BaseOfPath(outPath);
  Guid encoder;
  if (!FindEncoderClsid("image/bmp", encoder)) return false;
  // A picture beside a mask that is not its own would be read back as one
  // pair: both are written before either is put in place.
  StagedFiles files;
  return (picture == nullptr || picture->Stage(files, base + ".bmp", encoder)) &&
         (mask == nullptr || mask->Stage(files, base + "_mask.bmp", encoder)) &&
         files.Commit(protect);
}

}  // namespace tessarel
