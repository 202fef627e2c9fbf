// Bitmaps and icons through the Windows Imaging Component: exact colours in every bitmap kind the
// system decodes, the toolkit's own texts for damaged files, and headers refused before decoding.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/Pictures.h"
#include "toolkit/win32/Win32PictureChecks.h"

#include "platform/win32/Win32Api.h"

namespace {

const std::string kPictures = std::string(QV_TEST_DATA) + "/pictures/";
const std::string kMalformed = std::string(QV_TEST_DATA) + "/malformed/";

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A bitmap file: the file header, a 40-byte information header, the colour table, the data.
std::vector<uint8_t> Bitmap(int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                            const std::vector<uint32_t>& colours, const std::vector<uint8_t>& data) {
  const uint32_t offset = 54 + static_cast<uint32_t>(colours.size()) * 4;
  std::vector<uint8_t> b(offset);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, offset + static_cast<uint32_t>(data.size()));
  Put32(b, 10, offset);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<uint32_t>(width));
  Put32(b, 22, static_cast<uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, bpp);
  Put32(b, 30, compression);
  Put32(b, 34, static_cast<uint32_t>(data.size()));
  Put32(b, 46, static_cast<uint32_t>(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i) Put32(b, 54 + i * 4, colours[i]);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// An icon file of one entry holding `image` (a bitmap without its file header, or a PNG).
std::vector<uint8_t> Icon(const std::vector<uint8_t>& image, uint16_t type = 1) {
  std::vector<uint8_t> b(22);
  Put16(b, 2, type);
  Put16(b, 4, 1);
  b[6] = 2;
  b[7] = 2;
  Put16(b, 10, 1);
  Put16(b, 12, 32);
  Put32(b, 14, static_cast<uint32_t>(image.size()));
  Put32(b, 18, 22);
  b.insert(b.end(), image.begin(), image.end());
  return b;
}

// A 2 x 2 icon image of 32 bits: header, colour rows, mask rows.
std::vector<uint8_t> IconImage(int32_t width = 2, int32_t doubledHeight = 4, size_t cut = 0) {
  std::vector<uint8_t> b(40 + 2 * 2 * 4 + 2 * 4);
  Put32(b, 0, 40);
  Put32(b, 4, static_cast<uint32_t>(width));
  Put32(b, 8, static_cast<uint32_t>(doubledHeight));
  Put16(b, 12, 1);
  Put16(b, 14, 32);
  for (size_t i = 40; i < 56; ++i) b[i] = 0x80;
  b.resize(b.size() - cut);
  return b;
}

std::vector<uint8_t> PngHeader(uint32_t width, uint32_t height) {
  std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {width, height})
    for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
  return b;
}

TEST(Win32PictureChecks, HeadersThatClaimMoreThanTheFileHoldsAreRefused) {
  const std::vector<uint8_t> row(4, 0);  // one 24-bit pixel and its padding
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    bool Plausible;
  } bitmaps[] = {
      {"one pixel", Bitmap(1, 1, 24, 0, {}, row), true},
      {"top-down", Bitmap(1, -1, 24, 0, {}, row), true},
      {"no rows", Bitmap(1, 1, 24, 0, {}, {}), false},
      {"zero wide", Bitmap(0, 1, 24, 0, {}, row), false},
      {"too wide", Bitmap(65536, 1, 24, 0, {}, std::vector<uint8_t>(65536 * 3)), false},
      {"run-length, more pixels than justified", Bitmap(65535, 65535, 8, 1, {0}, {0, 1}), false},
      {"run-length, rows not counted", Bitmap(100, 100, 8, 1, {0}, {0, 1}), true},
      {"no bits per pixel", Bitmap(1, 1, 0, 0, {}, row), false},
      {"not a bitmap", std::vector<uint8_t>(60, 'x'), false},
  };
  for (const TCase& c : bitmaps) EXPECT_EQ(win32::BitmapHeaderPlausible(c.Bytes), c.Plausible) << c.Name;

  std::vector<uint8_t> twoEntries = Icon(IconImage());
  Put16(twoEntries, 4, 2);  // a second entry, which the directory has no room for
  std::vector<uint8_t> outside = Icon(IconImage());
  Put32(outside, 18, 4000);
  TCase icons[] = {
      {"2 x 2", Icon(IconImage()), true},
      {"a cursor", Icon(IconImage(), 2), false},
      {"no entries", std::vector<uint8_t>{0, 0, 1, 0, 0, 0}, false},
      {"a second entry that is none", twoEntries, false},
      {"image outside the file", outside, false},
      {"colour rows cut short", Icon(IconImage(2, 4, 12)), false},
      {"huge claim", Icon(IconImage(65535, 2 * 65535)), false},
      {"PNG", Icon(PngHeader(16, 16)), true},
      {"huge PNG", Icon(PngHeader(60000, 60000)), false},
  };
  for (const TCase& c : icons) EXPECT_EQ(win32::IconHeaderPlausible(c.Bytes), c.Plausible) << c.Name;
}

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
