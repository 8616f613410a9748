#include "imaging/bmp_export.h"

#include <vector>

#include "imaging/file_io.h"
#include "imaging/path_names.h"

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
                 const std::string& keepIntact) {
  const std::string base = BaseOfPath(outPath);
  const std::string pictureName = base + ".bmp";
  const std::string maskName = base + "_mask.bmp";
  if (!keepIntact.empty() &&
      (IsSameFile(pictureName, keepIntact) || IsSameFile(maskName, keepIntact))) {
    return false;
  }
  Guid encoder;
  if (!FindEncoderClsid("image/bmp", encoder)) return false;
  bool ok = true;
  if (picture != nullptr) ok = picture->Save(pictureName, encoder);
  // No mask is written beside a picture that could not be: a lone mask would
  // be read back as belonging to an older picture of that name.
  if (ok && mask != nullptr) ok = mask->Save(maskName, encoder);
  return ok;
}

}  // namespace tessarel
