#include "convert/bmp_pair.h"

#include "convert/side_task.h"
#include "files/staged_files.h"
#include "platform/path_names.h"

namespace tessarel {

bool StageBmpPair(StagedFiles& files, const std::string& outPath, PixelImage* picture,
                  PixelImage* mask) {
  const std::string base = BaseOfPath(outPath);
  // A picture beside a mask that is not its own would be read back as one
  // pair: both are written before either is put in place. A big pair is
  // written side by side, each file by a thread of its own, unless that would
  // hold both images whole at once; one image passed as both is written in
  // turn.
  StagedFiles pair, maskFile;
  bool maskStaged = true;
  SideTask maskTask(WorthTwoThreads(picture, mask), [&] {
    maskStaged = mask == nullptr || mask->StageBmp(maskFile, base + "_mask.bmp");
  });
  const bool pictureStaged = picture == nullptr || picture->StageBmp(pair, base + ".bmp");
  maskTask.RunHereUnlessStarted();
  if (!pictureStaged || !maskStaged) return false;
  pair.Append(maskFile);
  files.Append(pair);
  return true;
}

}  // namespace tessarel
