// The container's composition against an independent per-pixel model, and partial repaints
// against full ones.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {

uint32_t Channel(uint32_t s, uint32_t d, uint32_t a) { return (s * a + d * (255 - a)) / 256 + 1; }

// One pixel blended at an opacity, the destination's alpha kept; at 255 a plain copy.
uint32_t Blend(uint32_t s, uint32_t d, uint32_t a) {
  if (a == 255) return s;
  uint32_t out = d & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) out |= Channel((s >> shift) & 0xFF, (d >> shift) & 0xFF, a) << shift;
  return out;
}

std::string Hex(uint32_t v) {
  char b[12];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

struct TScene {
  std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
  TDIBImageList* List = new TDIBImageList(Form.get());
  TDIBImageContainer* Container = new TDIBImageContainer(Form.get());
  std::vector<TDIBImage*> Images;
  std::vector<uint32_t> Colours;

  TScene(int w, int h) {
    Container->SetParent(Form.get());
    Container->SetBounds(0, 0, w, h);
    Container->SetColor(0x203040);
  }
  TDIBImage* Add(uint32_t colour, int pw, int ph, TRect bounds, uint8_t opacity) {
    TDIBImagesItem* item = List->DIBImages()->Add();
    item->DIB()->SetSize(static_cast<uint16_t>(pw), static_cast<uint16_t>(ph));
    for (int i = 0; i < pw * ph; ++i) item->DIB()->Pixels()[i] = colour;
    auto* image = new TDIBImage(Form.get());
    image->SetParent(Container);
    image->SetDIBImageList(List);
    image->IndexMain()->SetDIBIndex(item->Index());
    image->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    image->SetOpacity(opacity);
    Images.push_back(image);
    Colours.push_back(colour);
    return image;
  }
  // A paint into a window context clipped to r, as the system asks for one.
  void Paint(const TRect& r) {
    auto window = Backend().CreateDIBSection(std::max(1, Container->Width()), std::max(1, Container->Height()));
    window->DC().IntersectClipRect(r);
    Container->Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&window->DC()));
  }
  uint32_t At(int x, int y) const { return *Container->CompositionDIB()->ScanPixel(x, y); }
  // Background, then every visible image in child order, blended at its opacity.
  std::vector<uint32_t> Model() const {
    const int w = Container->Width(), h = Container->Height();
    const uint32_t background = ColorToPixel(ColorToRGB(Container->Color()));
    std::vector<uint32_t> m(static_cast<size_t>(w * h), background);
    for (size_t k = 0; k < Images.size(); ++k) {
      TDIBImage* c = Images[k];
      if (!c->Visible()) continue;
      TMemoryDIB* pic = List->DIBImages()->Items(c->IndexMain()->DIBIndex())->DIB();
      for (int y = std::max(0, c->Top()); y < std::min(h, c->Top() + c->Height()); ++y)
        for (int x = std::max(0, c->Left()); x < std::min(w, c->Left() + c->Width()); ++x) {
          uint32_t& d = m[static_cast<size_t>(y * w + x)];
          const int px = x - c->Left(), py = y - c->Top();
          const uint32_t top = px < pic->Width() && py < pic->Height() ? Colours[k] : d;
          d = Blend(top, d, c->Opacity());
        }
    }
    return m;
  }
  int Mismatches(const std::vector<uint32_t>& expected, std::string& first) const {
    int bad = 0;
    const int w = Container->Width();
    for (int y = 0; y < Container->Height(); ++y)
      for (int x = 0; x < w; ++x)
        if (At(x, y) != expected[static_cast<size_t>(y * w + x)] && bad++ == 0)
          first = "(" + std::to_string(x) + "," + std::to_string(y) + ") OUT[" + Hex(At(x, y)) + "] != EXP[" +
                  Hex(expected[static_cast<size_t>(y * w + x)]) + "]";
    return bad;
  }
};

TEST(Composition, EqualsBackgroundThenEachChildBlendedAtItsOpacity) {
  TScene scene(120, 90);
  scene.Add(0xFFC02010, 60, 50, Bounds(5, 5, 70, 60), 255);
  scene.Add(0xFF10E040, 50, 50, Bounds(40, 30, 50, 50), 128);
  scene.Add(0xFF2030F0, 40, 40, Bounds(-15, 50, 40, 40), 60);  // partly outside the container
  scene.Paint({0, 0, 120, 90});
  std::string first;
  EXPECT_EQ(scene.Mismatches(scene.Model(), first), 0) << first;
}

TEST(Composition, PartialRepaintsAfterRandomChangesEqualAFullRepaint) {
  TScene scene(100, 80);
  scene.Add(0xFFC02010, 40, 30, Bounds(5, 5, 50, 40), 255);
  scene.Add(0xFF10E040, 30, 30, Bounds(30, 20, 30, 30), 128);
  scene.Add(0xFF2030F0, 50, 20, Bounds(50, 40, 50, 30), 60);
  scene.Paint({0, 0, 100, 80});
  std::mt19937 rng(7);
  for (int step = 0; step < 60; ++step) {
    TDIBImage* c = scene.Images[rng() % scene.Images.size()];
    const TRect before = c->BoundsRect();
    switch (rng() % 3) {
      case 0: c->SetBounds(static_cast<int>(rng() % 120) - 20, static_cast<int>(rng() % 100) - 20, c->Width(), c->Height()); break;
      case 1: c->SetOpacity(static_cast<uint8_t>(rng())); break;
      case 2: c->SetVisible(!c->Visible()); break;
    }
    // What the system would repaint: the rectangles the change touched, clipped to the window.
    for (const TRect& r : {before, c->BoundsRect()}) {
      const TRect clipped = IntersectRect(r, {0, 0, 100, 80});
      if (!clipped.IsEmpty()) scene.Paint(clipped);
    }
  }
  std::string first;
  const std::vector<uint32_t> model = scene.Model();
  EXPECT_EQ(scene.Mismatches(model, first), 0) << "partial repaints: " << first;
  scene.Paint({0, 0, 100, 80});
  EXPECT_EQ(scene.Mismatches(model, first), 0) << "full repaint: " << first;
}

// A paint of part of the container recomposes only that part; what it leaves must be exactly what
// a paint of the whole gives, also where pictures are sampled through a stretch or a rotation
// and where a label's text lies over them.
TEST(Composition, PartialRepaintsOfStretchedRotatedImagesAndLabelsEqualAFullRepaint) {
  TScene scene(160, 120);
  TDIBImage* stretched = scene.Add(0, 300, 260, Bounds(4, 3, 150, 110), 128);
  TDIBImage* rotated = scene.Add(0, 70, 50, Bounds(50, 30, 90, 80), 200);
  std::mt19937 rng(5);
  for (TDIBImage* image : scene.Images) {
    TMemoryDIB* pic = scene.List->DIBImages()->Items(image->IndexMain()->DIBIndex())->DIB();
    for (int i = 0; i < pic->Width() * pic->Height(); ++i) pic->Pixels()[i] = 0xFF000000u | (rng() & 0xFFFFFF);
  }
  stretched->SetStretch(true);
  rotated->SetAngle(30);
  rotated->SetCenter(true);
  auto* label = new TLabel(scene.Form.get());
  label->SetParent(scene.Container);
  label->SetAutoSize(false);
  label->SetTransparent(true);
  label->SetAlignment(TAlignment::taCenter);
  label->Font()->SetSize(14);
  label->SetBounds(10, 40, 140, 24);
  label->SetCaption("Partial repaint");
  const TRect whole{0, 0, 160, 120};
  scene.Paint(whole);
  auto composed = [&] {
    const uint32_t* p = scene.Container->CompositionDIB()->Pixels();
    return std::vector<uint32_t>(p, p + 160 * 120);
  };
  for (int step = 0; step < 40; ++step) {
    const TRect before = rotated->BoundsRect();
    switch (step % 4) {
      case 0: label->Font()->SetColor(static_cast<TColor>(rng() & 0xFFFFFF)); break;
      case 1: rotated->SetAngle(static_cast<TAngle>(rng() % 360)); break;
      case 2: rotated->SetBounds(static_cast<int>(rng() % 120) - 30, static_cast<int>(rng() % 90) - 30, 90, 80); break;
      case 3: stretched->SetOpacity(static_cast<uint8_t>(rng())); break;
    }
    // What the system would repaint after the change, then a stray small rectangle anywhere.
    const TRect changed = step % 4 == 0 ? label->BoundsRect() : step % 4 == 3 ? stretched->BoundsRect() : before;
    for (const TRect& r : {changed, rotated->BoundsRect(), Bounds(static_cast<int>(rng() % 150), static_cast<int>(rng() % 110), 13, 9)}) {
      const TRect clipped = IntersectRect(r, whole);
      if (!clipped.IsEmpty()) scene.Paint(clipped);
    }
    const std::vector<uint32_t> partial = composed();
    scene.Paint(whole);
    const std::vector<uint32_t> full = composed();
    int bad = 0;
    std::string first;
    for (size_t i = 0; i < full.size(); ++i)
      if (partial[i] != full[i] && bad++ == 0)
        first = "stored " + std::to_string(i) + " partial " + Hex(partial[i]) + " full " + Hex(full[i]);
    ASSERT_EQ(bad, 0) << "step " << step << ": " << first;
  }
}

TEST(Composition, TheBackgroundPictureIsCentredOrTiled) {
  TScene scene(250, 120);
  TDIBImagesItem* item = scene.List->DIBImages()->Add();
  item->DIB()->SetSize(100, 100);
  for (int i = 0; i < 100 * 100; ++i) item->DIB()->Pixels()[i] = 0xFF00FF00u | static_cast<uint32_t>(i % 100);
  scene.Container->SetDIBImageList(scene.List);
  scene.Container->IndexImage()->SetDIBIndex(0);
  scene.Container->SetTileMethod(TTileMethod::tmTile);
  scene.Paint({0, 0, 250, 120});
  for (int x : {0, 99, 100, 205, 249})
    for (int y : {0, 99, 100, 119}) EXPECT_EQ(scene.At(x, y), 0xFF00FF00u | static_cast<uint32_t>(x % 100)) << x << "," << y;
  scene.Container->SetTileMethod(TTileMethod::tmCenter);
  scene.Paint({0, 0, 250, 120});
  // 100 x 100 centred at (75, 10) on the container's colour.
  EXPECT_EQ(scene.At(74, 50), ColorToPixel(0x203040));
  EXPECT_EQ(scene.At(75, 10), 0xFF00FF00u);
  EXPECT_EQ(scene.At(174, 109), 0xFF00FF00u | 99u);
  EXPECT_EQ(scene.At(175, 50), ColorToPixel(0x203040));
}

TEST(Composition, ImagesAreStretchedCentredOrPlacedAtTheTopLeft) {
  TScene scene(340, 469);
  TDIBImage* image = scene.Add(0xFF808080, 400, 300, Bounds(0, 0, 340, 469), 255);
  image->SetCenter(true);
  scene.Paint({0, 0, 340, 469});
  // Centred: drawn at (-30, 84).
  EXPECT_EQ(scene.At(0, 83), ColorToPixel(0x203040));
  EXPECT_EQ(scene.At(0, 84), 0xFF808080u);
  EXPECT_EQ(scene.At(339, 383), 0xFF808080u);
  EXPECT_EQ(scene.At(339, 384), ColorToPixel(0x203040));
  image->SetCenter(false);
  image->SetStretch(true);
  scene.Paint({0, 0, 340, 469});
  // 85 % and 156 % of 400 x 300: 340 x 468, one row short at the bottom.
  EXPECT_EQ(scene.At(339, 467), 0xFF808080u);
  EXPECT_EQ(scene.At(10, 468), ColorToPixel(0x203040));
}

}  // namespace

#include "dib/cDIBPalette.h"
#include "support/MemoryDC8.h"

namespace {

TEST(Composition, OnAnEightBitDeviceThePaletteCarriesTheCopy) {
  TScene scene(40, 30);
  scene.Container->SetColor(0x808080);
  auto* palette = new TDIBPalette(scene.Form.get());
  palette->SetUseTable(true);
  scene.Container->SetPalette(palette);
  TMemoryDC8 device(40, 30);
  device.IntersectClipRect({5, 5, 20, 15});
  scene.Container->Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&device));
  const uint8_t expected = palette->Table()[DIBPaletteTableIndex(0x80, 0x80, 0x80)];
  EXPECT_EQ(device.Pixel(5, 5), expected) << "drawn through the palette's lookup table";
  EXPECT_EQ(device.Pixel(19, 14), expected);
  EXPECT_EQ(device.Pixel(20, 15), 0) << "only the paint rectangle is copied";
  EXPECT_EQ(device.SelectedPalette(), nullptr) << "the device's own palette is selected back";
  EXPECT_TRUE(device.SelectedAsBackground());
}

}  // namespace

namespace {

// A windowed child of the framed 3-D look sits in a sunken frame the container composes around it:
// the shadow outline one pixel up and to the left, the highlight outline over its right and bottom
// edges. Without the 3-D look or the framed style, and outside the paint rectangle, none.
TEST(Composition, FramedWindowedChildrenGetASunkenFrame) {
  TScene scene(60, 40);
  auto* child = new TCustomControl(scene.Form.get());
  child->SetParent(scene.Container);
  child->SetBounds(10, 10, 20, 15);
  const uint32_t background = ColorToPixel(ColorToRGB(scene.Container->Color()));
  const uint32_t shadow = ColorToPixel(ColorToRGB(clBtnShadow)), light = ColorToPixel(ColorToRGB(clBtnHighlight));
  const TRect all{0, 0, 60, 40};
  // Drawing through the device context sets the alpha byte; the colour is what counts here.
  auto Rgb = [](uint32_t v) { return Hex(v & 0xFFFFFFu); };

  scene.Paint(all);
  EXPECT_EQ(Rgb(scene.At(9, 9)), Rgb(background)) << "not of the framed style";

  child->SetControlStyle(child->ControlStyle() | csFramed);
  scene.Paint(all);
  EXPECT_EQ(Rgb(scene.At(9, 9)), Rgb(shadow));     // the shadow's corner, outside the child
  EXPECT_EQ(Rgb(scene.At(29, 9)), Rgb(shadow));    // its top edge ends above the child's last column
  EXPECT_EQ(Rgb(scene.At(9, 24)), Rgb(shadow));    // its left edge ends beside the last row
  EXPECT_EQ(Rgb(scene.At(30, 25)), Rgb(light));    // the highlight's corner, outside the child
  EXPECT_EQ(Rgb(scene.At(30, 10)), Rgb(light));
  EXPECT_EQ(Rgb(scene.At(10, 25)), Rgb(light));
  EXPECT_EQ(Rgb(scene.At(31, 26)), Rgb(background));

  child->SetCtl3D(false);
  scene.Paint(all);
  EXPECT_EQ(Rgb(scene.At(9, 9)), Rgb(background)) << "flat look";
  EXPECT_EQ(Rgb(scene.At(30, 25)), Rgb(background));

  // A paint that misses the child leaves what the composition held there.
  child->SetCtl3D(true);
  scene.Paint({40, 30, 60, 40});
  EXPECT_EQ(Rgb(scene.At(9, 9)), Rgb(background));
  child->SetVisible(false);
  scene.Paint(all);
  EXPECT_EQ(Rgb(scene.At(9, 9)), Rgb(background)) << "hidden";
}

TEST(Composition, DegenerateSizesComposeWithoutHarm) {
  TScene scene(64, 48);
  TDIBImage* empty = scene.Add(0xFF112233, 8, 8, Bounds(3, 3, 0, 0), 255);
  TDIBImage* wide = scene.Add(0xFF445566, 8, 8, Bounds(-70000, -5, 65535, 20), 128);
  wide->SetStretch(true);
  scene.Paint({0, 0, 64, 48});
  std::string first;
  EXPECT_EQ(scene.Mismatches(scene.Model(), first), 0) << first;
  empty->SetBounds(-5, -5, 65535, 65535);
  scene.Paint({0, 0, 64, 48});
  scene.Container->SetBounds(0, 0, 0, 0);
  scene.Paint({0, 0, 64, 48});
  scene.Container->SetBounds(0, 0, 10, 10);
  scene.Paint({0, 0, 10, 10});
  EXPECT_EQ(scene.At(0, 0), scene.Model()[0]);
}

}  // namespace
