// Metafiles played by GDI at their own size, and damaged ones refused before GDI sees them. The
// metafiles are recorded here by GDI itself, then damaged byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "toolkit/Pictures.h"

#include "platform/win32/Win32Api.h"

namespace {

constexpr uint32_t kRed = 0xFF0000, kBlack = 0;

std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string file = testing::TempDir() + std::to_string(::GetCurrentProcessId()) + "-" + name;
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return file;
}

void FillRed(HDC dc, const RECT& r) {
  HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
  ::FillRect(dc, &r, red);
  ::DeleteObject(red);
}

// An enhanced metafile one inch wide and half an inch high whose left half is red.
std::vector<uint8_t> RecordedEnhanced() {
  const RECT frame{0, 0, 2540, 1270};  // hundredths of a millimetre
  HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
  // Logical units of the reference device: its pixels.
  const int across = ::GetDeviceCaps(dc, LOGPIXELSX);
  FillRed(dc, RECT{0, 0, across / 2, across / 2});
  HENHMETAFILE metafile = ::CloseEnhMetaFile(dc);
  std::vector<uint8_t> bytes(::GetEnhMetaFileBits(metafile, 0, nullptr));
  ::GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()), bytes.data());
  ::DeleteEnhMetaFile(metafile);
  return bytes;
}

// A Windows metafile whose window is 100 x 50 units, the left half red.
std::vector<uint8_t> RecordedWindows() {
  HDC dc = ::CreateMetaFileW(nullptr);
  ::SetWindowExtEx(dc, 100, 50, nullptr);
  FillRed(dc, RECT{0, 0, 50, 50});
  HMETAFILE metafile = ::CloseMetaFile(dc);
  std::vector<uint8_t> bytes(::GetMetaFileBitsEx(metafile, 0, nullptr));
  ::GetMetaFileBitsEx(metafile, static_cast<UINT>(bytes.size()), bytes.data());
  ::DeleteMetaFile(metafile);
  return bytes;
}

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v));
  Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The same metafile behind the placeable header: a box of left, top, right, bottom units, `inch`
// units to the inch.
std::vector<uint8_t> Placeable(const std::vector<uint8_t>& metafile, int16_t right, int16_t bottom, uint16_t inch) {
  std::vector<uint8_t> b(22 + metafile.size(), 0);
  Put32(b, 0, 0x9AC6CDD7);
  Put16(b, 10, static_cast<uint16_t>(right));
  Put16(b, 12, static_cast<uint16_t>(bottom));
  Put16(b, 14, inch);
  std::copy(metafile.begin(), metafile.end(), b.begin() + 22);
  return b;
}

struct TShown {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Rows;  // top-down, 0xRRGGBB
  uint32_t At(int x, int y) const { return Rows[static_cast<size_t>(y) * Width + x]; }
};

TShown Load(const std::string& file) {
  TPicture picture;
  picture.LoadFromFile(file);
  TShown shown;
  auto* graphic = dynamic_cast<TPixelGraphic*>(picture.Graphic());
  if (!graphic) return shown;
  const TPixelView view = graphic->View();
  shown.Width = view.Width;
  shown.Height = view.Height;
  for (int y = 0; y < view.Height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(view.Origin + y * view.RowStep);
    for (int x = 0; x < view.Width; ++x) shown.Rows.push_back(row[x] & 0xFFFFFFu);
  }
  return shown;
}

std::string Failure(const std::string& file) {
  try {
    TPicture().LoadFromFile(file);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "loaded";
}

TEST(Win32Metafiles, BothKindsPlayAtTheirOwnSizeOverBlack) {
  HDC screen = ::GetDC(nullptr);
  const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX), dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  const std::vector<uint8_t> windows = RecordedWindows();
  const struct {
    std::string File;
    int Width, Height;  // 0: as the reference device makes it, about twice as wide as high
  } cases[] = {
      {WriteTemp("picture.emf", RecordedEnhanced()), 0, 0},
      {WriteTemp("picture.wmf", windows), 100, 50},
      // The placeable box: 200 x 100 units at 2 units to the pixel of a screen of dpiX.
      {WriteTemp("placeable.wmf", Placeable(windows, 200, 100, static_cast<uint16_t>(dpiX * 2))), 100,
       (100 * dpiY + dpiX) / (dpiX * 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const TShown shown = Load(c.File);
    ASSERT_GT(shown.Width, 4);
    ASSERT_GT(shown.Height, 4);
    if (c.Width) {
      EXPECT_EQ(shown.Width, c.Width);
      EXPECT_EQ(shown.Height, c.Height);
    } else {
      EXPECT_NEAR(shown.Width, 2 * shown.Height, 2);
    }
    // Left half red, right half what lay beneath: black.
    EXPECT_EQ(shown.At(1, 1), kRed);
    EXPECT_EQ(shown.At(shown.Width / 2 - 2, shown.Height - 2), kRed);
    EXPECT_EQ(shown.At(shown.Width / 2 + 2, 1), kBlack);
    EXPECT_EQ(shown.At(shown.Width - 1, shown.Height - 1), kBlack);
    std::remove(c.File.c_str());
  }
}

TEST(Win32Metafiles, DamagedOrBoundlessMetafilesAreRefusedBeforeGdiPlaysThem) {
  const std::vector<uint8_t> enhanced = RecordedEnhanced(), windows = RecordedWindows();
  const size_t firstRecord = Get32(enhanced, 4);  // after the header record
  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
  cases.emplace_back("empty.emf", std::vector<uint8_t>{});
  cases.emplace_back("garbage.wmf", std::vector<uint8_t>(64, 0x5A));
  cases.emplace_back("truncated.emf", std::vector<uint8_t>(enhanced.begin(), enhanced.begin() + enhanced.size() / 2));
  cases.emplace_back("truncated.wmf", std::vector<uint8_t>(windows.begin(), windows.begin() + 20));
  auto damaged = [&](const char* name, const std::vector<uint8_t>& from, auto change) {
    std::vector<uint8_t> b = from;
    change(b);
    cases.emplace_back(name, std::move(b));
  };
  // A record of size 0 would hold a player on the spot for ever.
  damaged("stuck.emf", enhanced, [&](auto& b) { Put32(b, firstRecord + 4, 0); });
  damaged("stuck.wmf", windows, [](auto& b) { Put32(b, 18, 0); });
  // A record reaching past the file's end.
  damaged("long-record.emf", enhanced, [&](auto& b) { Put32(b, firstRecord + 4, 0x7FFFFFF0); });
  damaged("long-record.wmf", windows, [](auto& b) { Put32(b, 18, 0x7FFFFFF0); });
  // More records counted than there are.
  damaged("counted.emf", enhanced, [](auto& b) { Put32(b, 52, Get32(b, 52) + 1); });
  // A frame a billion pixels across: refused before any surface is asked for.
  damaged("huge.emf", enhanced, [](auto& b) { Put32(b, 32, 0x7FFFFFFF); });
  damaged("inside-out.emf", enhanced, [](auto& b) { Put32(b, 32, static_cast<uint32_t>(-100)); });
  damaged("huge.wmf", windows, [](auto& b) {
    // The window extent's record: 5 words, function 0x020C, then y and x.
    for (size_t at = 18; at + 10 <= b.size(); at += 2 * Get32(b, at))
      if (b[at + 4] == 0x0C && b[at + 5] == 0x02) Put16(b, at + 6, 30000), Put16(b, at + 8, 30000);
  });
  cases.emplace_back("no-inch.wmf", Placeable(windows, 100, 50, 0));
  cases.emplace_back("empty-box.wmf", Placeable(windows, 0, 50, 96));
  damaged("not-enhanced.emf", enhanced, [](auto& b) { Put32(b, 40, 0x12345678); });
  for (const auto& [name, bytes] : cases) {
    const std::string file = WriteTemp(name, bytes);
    EXPECT_EQ(Failure(file), "Metafile is not valid") << name;
    std::remove(file.c_str());
  }
}

}  // namespace
