// Drawing onto a picture in memory through its device context: text, fills and copies are
// written there without the painter, and must come out as the painter draws them, clip included.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include "toolkit/Backend.h"
#include "toolkit/Graphics.h"
#include "toolkit/qt/QtDeviceContext.h"

namespace {

constexpr int kW = 150, kH = 60;

// The picture's rows as stored (bottom-up), as one block.
std::string Stored(IDIBSection& section) {
  return std::string(reinterpret_cast<const char*>(section.Bits()), size_t{kW} * kH * 4);
}

std::string Stored(const QImage& image) {
  return std::string(reinterpret_cast<const char*>(image.constBits()), size_t{kW} * kH * 4);
}

// Where the stored blocks first differ, as picture coordinates.
std::string FirstDifference(const std::string& a, const std::string& b) {
  for (size_t i = 0; i < a.size(); i += 4)
    if (std::memcmp(a.data() + i, b.data() + i, 4) != 0) {
      const size_t pixel = i / 4;
      return std::to_string(pixel % kW) + "," + std::to_string(kH - 1 - static_cast<int>(pixel / kW));
    }
  return "none";
}

// The same picture drawn by a plain painter through the same vertical flip, clipped to a region
// of picture coordinates.
struct TReference {
  QImage Image{kW, kH, QImage::Format_RGB32};
  explicit TReference(uint32_t fill) { Image.fill(fill); }
  void Text(const TFontData& font, int x, int y, const std::string& text, TColor color, const QRegion& clip) {
    QPainter p(&Image);
    p.setTransform(QTransform(1, 0, 0, -1, 0, kH));
    p.setClipRegion(clip);
    p.setFont(ToQFont(font));
    p.setPen(ToQColor(color));
    p.drawText(QPoint(x, y + QFontMetrics(p.font()).ascent()), QString::fromStdString(text));
  }
};

TFontData Font(int height, TFontStyles style = 0) {
  TFontData font;
  font.Name = "DejaVu Sans";
  font.Height = height;
  font.Style = style;
  return font;
}

}  // namespace

TEST(MemoryDrawing, TextIsWhatThePainterDrawsUnderEveryClip) {
  const std::string caption = "Feature number 4 (Wg)";
  for (const TFontData& font : {Font(-24), Font(-13, fsBold | fsItalic), Font(-9, fsUnderline)}) {
    auto section = Backend().CreateDIBSection(kW, kH);
    TDeviceContext& dc = section->DC();
    dc.FillRect({0, 0, kW, kH}, 0x102030);
    TReference reference(ToQColor(0x102030).rgba());
    dc.SetFont(font);
    // Whole, then again in another colour from what the first drawing learnt, then under a clip
    // with a hole in it, then with the origin moved and a clip cutting through the glyphs.
    dc.TextOut(3, 5, caption, 0xFFFFFF);
    reference.Text(font, 3, 5, caption, 0xFFFFFF, QRegion(0, 0, kW, kH));
    ASSERT_EQ(Stored(*section), Stored(reference.Image)) << "first difference at " << FirstDifference(Stored(*section), Stored(reference.Image));
    dc.TextOut(3, 5, caption, 0x80C0FF);
    reference.Text(font, 3, 5, caption, 0x80C0FF, QRegion(0, 0, kW, kH));
    ASSERT_EQ(Stored(*section), Stored(reference.Image)) << "first difference at " << FirstDifference(Stored(*section), Stored(reference.Image));
    {
      TDCStateScope scope(dc);
      dc.IntersectClipRect({10, 0, 120, kH});
      EXPECT_EQ(dc.ExcludeClipRect({40, 10, 60, 20}), COMPLEXREGION);
      dc.TextOut(3, 5, caption, 0x00FF00);
      reference.Text(font, 3, 5, caption, 0x00FF00, QRegion(10, 0, 110, kH).subtracted(QRegion(40, 10, 20, 10)));
    }
    ASSERT_EQ(Stored(*section), Stored(reference.Image)) << "first difference at " << FirstDifference(Stored(*section), Stored(reference.Image));
    {
      TDCStateScope scope(dc);
      dc.MoveOrigin(7, 20);
      dc.IntersectClipRect({0, 0, 90, 12});
      dc.TextOut(0, 0, caption, 0x0000FF);
      reference.Text(font, 7, 20, caption, 0x0000FF, QRegion(7, 20, 90, 12));
    }
    ASSERT_EQ(Stored(*section), Stored(reference.Image)) << "first difference at " << FirstDifference(Stored(*section), Stored(reference.Image));
    EXPECT_EQ(dc.TextExtent(caption).cx, QFontMetrics(ToQFont(font)).horizontalAdvance(QString::fromStdString(caption)));
  }
}

TEST(MemoryDrawing, FillsAndCopiesKeepToAClipWithAHole) {
  auto source = Backend().CreateDIBSection(kW, kH);
  // Every stored pixel different, alpha byte included: a copy must carry them as they are.
  for (int i = 0; i < kW * kH; ++i) {
    const uint32_t v = 0x01000000u * static_cast<uint32_t>(i % 7) + static_cast<uint32_t>(i) * 2654435761u % 0xFFFFFFu;
    std::memcpy(source->Bits() + i * 4, &v, 4);
  }
  auto target = Backend().CreateDIBSection(kW, kH);
  TDeviceContext& dc = target->DC();
  dc.FillRect({0, 0, kW, kH}, 0x000000);
  TDCStateScope scope(dc);
  dc.MoveOrigin(5, 3);
  dc.IntersectClipRect({0, 0, 100, 40});
  dc.ExcludeClipRect({20, 10, 30, 20});
  dc.BitBlt(-5, -3, kW - 10, kH - 2, source->DC(), 10, 2);
  dc.FillRect({60, 0, 70, 50}, 0x0000FF);
  // Model, in picture coordinates: copied inside the clip, red over it in columns 65..74.
  auto stored = [](IDIBSection& s, int x, int y) {
    uint32_t v;
    std::memcpy(&v, s.Bits() + ((kH - 1 - y) * kW + x) * 4, 4);
    return v;
  };
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool inside = x >= 5 && x < 105 && y >= 3 && y < 43 && !(x >= 25 && x < 35 && y >= 13 && y < 23);
      uint32_t want = 0xFF000000u;
      if (inside && x >= 65 && x < 75) want = 0xFFFF0000u;
      else if (inside && x + 10 < kW && y + 2 < kH) want = stored(*source, x + 10, y + 2);
      ASSERT_EQ(stored(*target, x, y), want) << x << "," << y;
    }
}
