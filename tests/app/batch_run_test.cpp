// End-to-end: the built Tessarel run on files in a temporary directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "codec/raw_codec.h"
#include "convert/bmp_pair.h"
#include "image/pixel_image.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

namespace fs = std::filesystem;
using testing::RunTool;
using testing::Sep;

std::vector<std::uint8_t> MakeRaw(int w, int h, int seed = 1) {
  std::vector<RawPixel> colour, mask;
  for (int i = 0; i < w * h; ++i) {
    colour.push_back(std::uint32_t(i * 7 * seed % 256) | std::uint32_t(i * 13 % 256) << 8 |
                     std::uint32_t((i * 29 + seed) % 256) << 16);
    mask.push_back((i + seed) % 4 == 0 ? 0 : 0x00FFFFFF);
  }
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(PackRaw(colour, mask, w, h, bytes));
  return bytes;
}

// 1 x 2: the second pixel is the transparent index.
const std::vector<std::uint8_t> kGif1x2 = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x02, 0x00, 0x80, 0x00, 0x00, 0xff, 0xff,
    0xff, 0x00, 0x00, 0x00, 0x21, 0xf9, 0x04, 0x01, 0x00, 0x00, 0x01, 0x00, 0x2c, 0x00, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x02, 0x02, 0x44, 0x0a, 0x00, 0x3b};

void SaveBmp(const std::string& path, int w, int h, std::uint32_t argb) {
  PixelImagePtr image = CreateBlankImage(w, h, PixelFormat24bppRGB);
  for (int i = 0; i < w * h; ++i) image->SetPixel(i % w, i / w, argb + std::uint32_t(i));
  Guid bmp;
  ASSERT_TRUE(FindEncoderClsid("image/bmp", bmp));
  ASSERT_TRUE(image->Save(path, bmp));
}

class BatchRun : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(dir_.path() / "in"); }
  std::string Path(const std::string& relative) const { return dir_ / relative; }
  void Put(const std::string& relative, const std::vector<std::uint8_t>& bytes) const {
    testing::WriteBytes(Path(relative), bytes);
  }
  std::string Run(const std::vector<std::string>& args) const {
    const testing::ToolResult result = RunTool(args, dir_.path().string());
    EXPECT_EQ(result.exitCode, 0);
    return result.output;
  }
  static std::string Out(const std::string& dir, const std::string& name) {
    return dir + Sep() + name;
  }
  testing::TempDir dir_;
};

TEST_F(BatchRun, RawToBmpAndBackIsByteIdentical) {
  Put("in/1(23x23).raw", MakeRaw(23, 23));
  EXPECT_EQ(Run({"-c:BMP", "in/*.raw", "out"}), "in/1(23x23).raw -OK\n");
  EXPECT_TRUE(testing::FileExists(Path("out/1(23x23).bmp")));
  EXPECT_TRUE(testing::FileExists(Path("out/1(23x23)_mask.bmp")));
  // The mask file is skipped as a picture of its own and found as the mask.
  EXPECT_EQ(Run({"-c:raw", "out/*.bmp", "back"}), "out/1(23x23).bmp -OK\n");
  EXPECT_EQ(testing::ReadBytes(Path("back/1(23x23).raw")), MakeRaw(23, 23));
}

TEST_F(BatchRun, ResultLinesForEachKindOfFailure) {
  Put("in/good(4x2).raw", MakeRaw(4, 2));
  Put("in/short(40x40).raw", MakeRaw(4, 2));
  Put("in/pic.raw", MakeRaw(4, 2));
  Put("in/bad.bmp", {'B', 'M', 0, 0, 0});
  Put("in/notes.txt", {'h', 'i'});
  SaveBmp(Path("in/ok.bmp"), 3, 2, 0xFF102030);
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const Case cases[] = {
      {{"-c:BMP", "in/*.raw", "o1"},
       "in/good(4x2).raw -OK\nin/pic.raw -ERROR LOAD\nin/short(40x40).raw -ERROR LOAD\n"},
      // Undecodable or unknown pictures: the output path with the source's own name.
      {{"-c:RAW", "in/*.*", "o2"},
       Out("o2", ".") + " -FAILD\n" + Out("o2", "..") + " -FAILD\n" + Out("o2", "bad.bmp") +
           " -FAILD\n" + Out("o2", "good(4x2).raw") + " -FAILD\n" + "in/notes.txt -FAILD\n" +
           "in/ok.bmp -OK\n" + Out("o2", "pic.raw") + " -FAILD\n" + Out("o2", "short(40x40).raw") +
           " -FAILD\n"},
      {{"-c:gif", "in/*.raw", "o3"}, "Wrong Parameters\nWrong Parameters\nWrong Parameters\n"},
      {{"-C:BMP", "in/good(4x2).raw", "o3"}, "Wrong Parameters\n"},
      // Four arguments without "-f:": the empty mask finds no size anywhere.
      {{"-c:BMP", "nomask", "in/good(4x2).raw", "o4"}, "in/good(4x2).raw -ERROR LOAD\n"},
      // An output directory whose parent is missing: nothing written, and said so.
      {{"-c:BMP", "in/good(4x2).raw", "no/such"}, Out("no/such", "good(4x2).raw") + " -FAILD\n"},
      {{"-c:BMP", "in/*.none", "o5"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    // "notes.txt" has no mask and no format; its line shows the output path.
    std::string want = c.output;
    const std::string notes = "in/notes.txt -FAILD\n";
    if (const auto at = want.find(notes); at != std::string::npos) {
      want.replace(at, notes.size(), Out("o2", "notes.txt") + " -FAILD\n");
    }
    EXPECT_EQ(Run(c.args), want);
  }
  EXPECT_TRUE(fs::is_directory(Path("o5")));
  EXPECT_FALSE(fs::exists(Path("no")));
  EXPECT_TRUE(testing::FileExists(Path("o2/ok(3x2).raw")));
}

TEST_F(BatchRun, CustomMaskInThreeAndFourArgumentForms) {
  Put("in/a[4,2].raw", MakeRaw(4, 2));
  EXPECT_EQ(Run({"-c:BMP", "-f:[@w,@h]", "in/a[4,2].raw"}), "in/a[4,2].raw -OK\n");
  EXPECT_TRUE(testing::FileExists(Path("in/a[4,2].bmp")));
  EXPECT_EQ(Run({"-c:BMP", "-f:[@w,@h]", "in/*.raw", "out"}), "in/a[4,2].raw -OK\n");
  EXPECT_TRUE(testing::FileExists(Path("out/a[4,2]_mask.bmp")));
  EXPECT_EQ(Run({"-c:RAW", "-f:[@w,@h]", "out/*.bmp", "back"}), "out/a[4,2].bmp -OK\n");
  EXPECT_EQ(testing::ReadBytes(Path("back/a[4,2].raw")), MakeRaw(4, 2));
}

TEST_F(BatchRun, NeverWritesOverItsInput) {
  // Format BMP over BMP files in their own directory would replace each
  // picture with its own misreading.
  SaveBmp(Path("in/p(2x2).bmp"), 2, 2, 0xFF405060);
  const std::vector<std::uint8_t> before = testing::ReadBytes(Path("in/p(2x2).bmp"));
  EXPECT_EQ(Run({"-c:BMP", "in/*.bmp"}), "in/p(2x2).bmp -FAILD\n");
  EXPECT_EQ(testing::ReadBytes(Path("in/p(2x2).bmp")), before);
  EXPECT_FALSE(testing::FileExists(Path("in/p(2x2)_mask.bmp")));
  // A BMP named like the RAW file it would become.
  SaveBmp(Path("in/q(2x2).raw"), 2, 2, 0xFF000000);
  const std::vector<std::uint8_t> bmp = testing::ReadBytes(Path("in/q(2x2).raw"));
  EXPECT_EQ(Run({"-c:RAW", "in/q(2x2).raw"}), "in/q(2x2).raw -FAILD\n");
  EXPECT_EQ(testing::ReadBytes(Path("in/q(2x2).raw")), bmp);
}

TEST_F(BatchRun, NeitherItsOwnOutputNorHalfAPairIsEverReplaced) {
  // Two inputs of one run with one output name: the first stands.
  SaveBmp(Path("in/t.bmp"), 1, 2, 0xFF000000);
  Put("in/t.gif", kGif1x2);
  EXPECT_EQ(Run({"-c:RAW", "in/t.*", "out"}), "in/t.bmp -OK\n" + Out("out", "t.gif") + " -FAILD\n");
  EXPECT_EQ(testing::ReadBytes(Path("out/t(1x2).raw")).at(4), 0x00);  // the BMP's: all opaque
  // A later run replaces it as before.
  EXPECT_EQ(Run({"-c:RAW", "in/t.gif", "out"}), "in/t.gif -OK\n");

  // An older picture whose mask cannot be replaced is back as it was.
  Put("in/p(2x2).raw", MakeRaw(2, 2));
  fs::create_directories(Path("pair/p(2x2)_mask.bmp"));
  Put("pair/p(2x2).bmp", {7, 7});
  EXPECT_EQ(Run({"-c:BMP", "in/p(2x2).raw", "pair"}), Out("pair", "p(2x2).raw") + " -FAILD\n");
  EXPECT_EQ(testing::ReadBytes(Path("pair/p(2x2).bmp")), (std::vector<std::uint8_t>{7, 7}));
  EXPECT_EQ(std::distance(fs::directory_iterator(Path("pair")), {}), 2);
}

TEST_F(BatchRun, UnusualNames) {
  const std::string longName = std::string(210, 'n') + "(3x3).raw";
  const std::string names[] = {"100%d%s(3x3).raw", "b[1](3x3).raw", "sp ace(3x3).raw", longName};
  for (const std::string& name : names) Put("in/" + name, MakeRaw(3, 3));
  const std::string output = Run({"-c:BMP", "in/*.raw", "out"});
  for (const std::string& name : names) {
    EXPECT_NE(output.find("in/" + name + " -OK\n"), std::string::npos) << name;
  }
  EXPECT_EQ(Run({"-c:RAW", "out/*.bmp", "back"}).size(), output.size() + 4 * 1);
  for (const std::string& name : names) {
    EXPECT_EQ(testing::ReadBytes(Path("back/" + name)), MakeRaw(3, 3)) << name;
  }
}

TEST_F(BatchRun, GifTransparencyAndBmpWithoutMaskReachTheRawFile) {
  Put("in/t.gif", kGif1x2);
  SaveBmp(Path("in/plain.bmp"), 1, 2, 0xFF000000);
  EXPECT_EQ(Run({"-c:RAW", "in/*.*if", "out"}), "in/t.gif -OK\n");
  EXPECT_EQ(Run({"-c:RAW", "in/plain.bmp", "out"}), "in/plain.bmp -OK\n");
  const std::vector<std::uint8_t> gif = testing::ReadBytes(Path("out/t(1x2).raw"));
  ASSERT_EQ(gif.size(), 6u);
  EXPECT_EQ(gif[4], 0x40);  // white opaque, then transparent
  EXPECT_EQ((std::vector<std::uint8_t>(gif.begin(), gif.begin() + 2)),
            (std::vector<std::uint8_t>{0xFF, 0xFF}));
  const std::vector<std::uint8_t> plain = testing::ReadBytes(Path("out/plain(1x2).raw"));
  ASSERT_EQ(plain.size(), 6u);
  EXPECT_EQ(plain[4], 0x00);  // no companion mask: all opaque
}

}  // namespace
}  // namespace tessarel
