// Bitmaps and icons through the Windows Imaging Component: exact colours in every bitmap kind the
// system decodes, the toolkit's own texts for damaged files, and headers refused before decoding.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../PictureBytes.h"
#include "toolkit/Pictures.h"

#include "platform/win32/Win32Api.h"

namespace {

using namespace picture_bytes;

const std::string kPictures = std::string(QV_TEST_DATA) + "/pictures/";
const std::string kMalformed = std::string(QV_TEST_DATA) + "/malformed/";

std::string Failure(const std::string& file) {
  try {
    TPicture().LoadFromFile(file);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "loaded";
}

// A file of this process's own: test programs may run side by side.
std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string file = testing::TempDir() + std::to_string(::GetCurrentProcessId()) + "-" + name;
  FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return file;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return file;
}

TEST(Win32Pictures, DamagedFilesFailWithTheToolkitsTexts) {
  // Run-length data that ends before its rows do passes the header check; the decoder's refusal
  // still reads as the toolkit's.
  const std::string brokenRuns = WriteTemp("broken-runs.bmp", Bitmap(4, 4, 8, 1, {0, 0xFFFFFF}, {0, 3, 0xFF}));
  const std::string bitmapAsIcon = WriteTemp("bitmap.ico", Bitmap(1, 1, 24, 0, {}, std::vector<uint8_t>(4, 0)));
  const struct {
    std::string File, Message;
  } cases[] = {
      {kMalformed + "huge-claim.bmp", "Bitmap image is not valid"},
      {kMalformed + "zero.bmp", "Bitmap image is not valid"},
      {kMalformed + "truncated.bmp", "Bitmap image is not valid"},
      {kMalformed + "garbage.ico", "Icon image is not valid"},
      {bitmapAsIcon, "Icon image is not valid"},
      {kPictures + "missing.bmp", "Cannot open file " + kPictures + "missing.bmp"},
  };
  for (const auto& c : cases) EXPECT_EQ(Failure(c.File), c.Message) << c.File;
  const std::string runs = Failure(brokenRuns);
  EXPECT_TRUE(runs == "loaded" || runs == "Bitmap image is not valid") << runs;
  std::remove(brokenRuns.c_str());
  std::remove(bitmapAsIcon.c_str());
}

// The decoded rows, top-down, as 0xAARRGGBB words.
std::vector<uint32_t> Decoded(const std::string& file, bool* hasAlpha = nullptr) {
  TPicture picture;
  picture.LoadFromFile(file);
  auto* graphic = dynamic_cast<TPixelGraphic*>(picture.Graphic());
  if (!graphic) return {};
  if (hasAlpha) *hasAlpha = graphic->HasAlpha();
  const TPixelView view = graphic->View();
  std::vector<uint32_t> pixels(static_cast<size_t>(view.Width) * view.Height);
  for (int y = 0; y < view.Height; ++y)
    std::memcpy(&pixels[static_cast<size_t>(y) * view.Width], view.Origin + y * view.RowStep, view.Width * 4u);
  return pixels;
}

// The files beside the tests (8-, 24- and 32-bit, 8-bit run-length) are checked where surfaces
// load them; these are the kinds none of them is.
TEST(Win32Pictures, FourBitRunsAndTopDownRowsDecodeUprightAndOpaque) {
  const std::vector<uint32_t> colours = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
  // Bottom row first: 4 pixels of 0,1,0,1 (a run of 4 alternating 0 and 1); the top row 2,3,3,3.
  const std::vector<uint8_t> runs4 = {4, 0x01, 0, 0, 1, 0x23, 3, 0x33, 0, 1};
  const std::string rle4 = WriteTemp("runs4.bmp", Bitmap(4, 2, 4, 2, colours, runs4));
  EXPECT_EQ(Decoded(rle4), (std::vector<uint32_t>{0xFF00FF00u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFF000000u,
                                                  0xFF0000FFu, 0xFF000000u, 0xFF0000FFu}));
  const std::vector<uint8_t> topDownRows = {1, 2, 3, 0, 4, 5, 6, 0};  // B, G, R of the top pixel first
  const std::string topDown = WriteTemp("top-down.bmp", Bitmap(1, -2, 24, 0, {}, topDownRows));
  EXPECT_EQ(Decoded(topDown), (std::vector<uint32_t>{0xFF030201u, 0xFF060504u}));
  std::remove(rle4.c_str());
  std::remove(topDown.c_str());
}

TEST(Win32Pictures, IconsKeepTheirAlphaAndStraightColours) {
  bool hasAlpha = false;
  const std::vector<uint32_t> pixels = Decoded(kPictures + "icon.ico", &hasAlpha);
  EXPECT_TRUE(hasAlpha);
  const std::vector<uint8_t> source = ReadFileBytes(kPictures + "alpha.rgba");
  ASSERT_EQ(pixels.size(), source.size() / 4);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint8_t* s = &source[i * 4];
    ASSERT_EQ(pixels[i] >> 24, s[3]) << "pixel " << i;
    if (s[3] == 0) continue;  // the colour under a see-through pixel is whatever the encoder left
    ASSERT_EQ(pixels[i] & 0xFFFFFFu, static_cast<uint32_t>(s[0] << 16 | s[1] << 8 | s[2])) << "pixel " << i;
  }
}

TEST(Win32Pictures, ThreadsWithoutTheComponentLibraryDecodeToo) {
  // The prefetch threads decode pictures before the program's windows exist.
  std::vector<uint32_t> onThread;
  std::string failure;
  std::thread worker([&] {
    try {
      onThread = Decoded(kPictures + "icon.ico");
    } catch (const std::exception& e) {
      failure = e.what();
    }
  });
  worker.join();
  EXPECT_EQ(failure, "");
  EXPECT_EQ(onThread, Decoded(kPictures + "icon.ico"));
}

}  // namespace
