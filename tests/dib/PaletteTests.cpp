// The palette component, its lookup table, its streams, its messages, and Render8Bit through it
// onto an 8-bit device.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "DIBTestUtil.h"
#include "dib/cDIBPalette.h"
#include "support/MemoryDC8.h"

using namespace dibtest;

namespace {

// A form as the palette sees it: a window procedure, a device context, an invalidation count.
class TTestForm : public TComponent {
public:
  explicit TTestForm(TSystemPalette8* system) : TComponent(nullptr), DC(4, 4, system) {}
  TMemoryDC8 DC;
  TWndMethod WindowProc = [this](TMessage& m) { Passed.push_back(m.Msg); };
  std::vector<unsigned> Passed;
  int Invalidated = 0, PaletteChangedCalls = 0;
  uintptr_t Handle = 0x1234;
};

class TTestFormAdapter : public IDIBPaletteForm {
public:
  explicit TTestFormAdapter(TTestForm* f) : F(f) {}
  uintptr_t WindowHandle() const override { return F->Handle; }
  TDeviceContext* GetDC() override { return &F->DC; }
  void ReleaseDC(TDeviceContext*) override {}
  void Invalidate() override { ++F->Invalidated; }
  void PaletteChanged(bool) override { ++F->PaletteChangedCalls; }
  TWndMethod WindowProc() const override { return F->WindowProc; }
  void SetWindowProc(TWndMethod proc) override { F->WindowProc = std::move(proc); }
  TTestForm* F;
};

class PaletteTest : public testing::Test {
protected:
  void SetUp() override {
    SetDIBPaletteFormResolver([](TComponent* owner) -> std::unique_ptr<IDIBPaletteForm> {
      if (auto* f = dynamic_cast<TTestForm*>(owner)) return std::make_unique<TTestFormAdapter>(f);
      return nullptr;
    });
  }
  void TearDown() override { SetDIBPaletteFormResolver(nullptr); }
  TSystemPalette8 System;
  TTestForm Form{&System};
};

// The search as written: entry 0 first, a strictly smaller distance wins, distance 0 ends it.
std::vector<uint8_t> NaiveTable(const TPaletteHandle::Entry* e) {
  std::vector<uint8_t> t(kDIBPaletteTableSize);
  for (int b = 0; b < 64; ++b)
    for (int g = 0; g < 64; ++g)
      for (int r = 0; r < 64; ++r) {
        auto dist = [&](int i) {
          const int dr = r * 4 - e[i].Red, dg = g * 4 - e[i].Green, db = b * 4 - e[i].Blue;
          return dr * dr + dg * dg + db * db;
        };
        int best = 0, bestD = dist(0);
        for (int i = 1; i < kDIBPaletteEntries; ++i) {
          const int d = dist(i);
          if (d < bestD) {
            best = i;
            bestD = d;
            if (d == 0) break;
          }
        }
        t[static_cast<size_t>(b * 4096 + g * 64 + r)] = static_cast<uint8_t>(best);
      }
  return t;
}

}  // namespace

TEST_F(PaletteTest, FreshPaletteIsAGreyRampFromWhite) {
  TDIBPalette p(&Form);
  const std::vector<uint8_t> colours = p.WritePaletteColors();
  ASSERT_EQ(colours.size(), 940u);
  for (int i = 0; i < 235; ++i) {
    const auto v = static_cast<uint8_t>(255 - i);
    ASSERT_EQ(colours[i * 4], v);
    ASSERT_EQ(colours[i * 4 + 1], v);
    ASSERT_EQ(colours[i * 4 + 2], v);
    ASSERT_EQ(colours[i * 4 + 3], 0);
  }
  EXPECT_EQ(colours[234 * 4], 21);
  EXPECT_EQ(p.Handle()->Entries.size(), 235u);
  EXPECT_EQ(p.Table(), nullptr);
}

TEST_F(PaletteTest, TableOfTheGreyRampFindsTheNearestGrey) {
  TDIBPalette p(&Form);
  p.SetUseTable(true);
  ASSERT_NE(p.Table(), nullptr);
  EXPECT_EQ(p.Table()[DIBPaletteTableIndex(252, 252, 252)], 3);
  EXPECT_EQ(p.Table()[0], 234);
  EXPECT_EQ(p.WritePaletteTable(), NaiveTable(p.Entries()));
  p.SetUseTable(false);
  EXPECT_EQ(p.Table(), nullptr);
  EXPECT_TRUE(p.WritePaletteTable().empty());
  p.SetUseTable(true);
  EXPECT_EQ(p.Table()[0], 234);
}

// Byte identity with the plain search at every processor level, for palettes that exercise the
// grey fast path, ties (repeated entries, equidistant greys) and an early exact match.
TEST_F(PaletteTest, FastBuildsGiveTheBytesOfThePlainSearch) {
  std::mt19937 rng(99);
  std::vector<std::vector<TPaletteHandle::Entry>> palettes;
  std::vector<TPaletteHandle::Entry> random(235), fewColours(235), greyPairs(235), coarse(235);
  for (int i = 0; i < 235; ++i) {
    random[i] = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
    fewColours[i] = {uint8_t(rng() % 3 * 127), uint8_t(rng() % 2 * 255), uint8_t(rng() % 3 * 100), 0};
    const auto g = static_cast<uint8_t>((i / 2) * 2 + 1);  // odd greys, each twice: ties everywhere
    greyPairs[i] = {g, g, g, 0};
    coarse[i] = {uint8_t(i % 5 * 62), uint8_t(i / 5 % 7 * 42), uint8_t(i / 35 * 40), 0};
  }
  palettes = {random, fewColours, greyPairs, coarse};
  std::vector<uint8_t> table(kDIBPaletteTableSize);
  for (const auto& entries : palettes) {
    const std::vector<uint8_t> want = NaiveTable(entries.data());
    for (dib::TSimdLevel level : {dib::TSimdLevel::Scalar, dib::TSimdLevel::SSE2, dib::TSimdLevel::AVX2}) {
      BuildDIBPaletteTable(entries.data(), table.data(), level);
      ASSERT_EQ(table, want) << "level " << dib::SimdLevelName(level);
    }
  }
}

TEST_F(PaletteTest, ColourStreamsMustBe940BytesOrEmpty) {
  TDIBPalette p(&Form);
  std::vector<uint8_t> bad(939, 1);
  try {
    p.ReadPaletteColors(bad);
    FAIL();
  } catch (const EDIBPaletteError& e) {
    EXPECT_EQ(e.Message(), "Invalid palette stream.");
  }
  EXPECT_THROW(p.ReadPaletteColors(std::vector<uint8_t>(941)), EDIBPaletteError);
  p.ReadPaletteColors({});
  EXPECT_EQ(p.Entries()[0].Red, 255);
  std::vector<uint8_t> stream(940);
  for (size_t i = 0; i < 940; ++i) stream[i] = static_cast<uint8_t>(i * 7);
  p.ReadPaletteColors(stream);
  EXPECT_EQ(p.WritePaletteColors(), stream);
  EXPECT_EQ(p.Handle()->Entries[1].Red, 28);
  // A table stream is read up to its size, never past the table.
  p.ReadPaletteTable(std::vector<uint8_t>(10, 9));
  ASSERT_NE(p.Table(), nullptr);
  EXPECT_EQ(p.Table()[9], 9);
  p.ReadPaletteTable(std::vector<uint8_t>(kDIBPaletteTableSize + 100, 4));
  EXPECT_EQ(p.Table()[kDIBPaletteTableSize - 1], 4);
}

TEST_F(PaletteTest, TableIsNotBuiltWhileLoading) {
  TDIBPalette p(&Form);
  p.BeginLoading();
  p.SetUseTable(true);
  p.ReadPaletteTable(std::vector<uint8_t>(kDIBPaletteTableSize, 17));
  p.EndReading();
  p.Loaded();
  EXPECT_EQ(p.Table()[0], 17);
}

TEST_F(PaletteTest, OwnerMustBeAForm) {
  TComponent notAForm(nullptr);
  for (TComponent* owner : {&notAForm, static_cast<TComponent*>(nullptr)}) {
    try {
      TDIBPalette p(owner);
      FAIL();
    } catch (const EDIBPaletteError& e) {
      EXPECT_EQ(e.Message(), "Palette owner must be a TCustomForm.");
    }
  }
  EXPECT_EQ(notAForm.ComponentCount(), 0);
}

TEST_F(PaletteTest, HandlesThePaletteMessagesAndPassesTheRestOn) {
  TTestForm other(&System);
  {
    TDIBPalette p(&Form);
    TMessage m{WM_QUERYNEWPALETTE};
    Form.WindowProc(m);
    EXPECT_EQ(m.Result, 235) << "every free slot took a grey";
    EXPECT_EQ(Form.Invalidated, 1);
    EXPECT_EQ(Form.PaletteChangedCalls, 1);
    EXPECT_EQ(System.ForegroundPalette(), p.Handle());
    m = {WM_QUERYNEWPALETTE};
    Form.WindowProc(m);
    EXPECT_EQ(m.Result, 0);
    EXPECT_EQ(Form.Invalidated, 1);

    TMessage own{WM_PALETTECHANGED, Form.Handle};
    Form.WindowProc(own);
    TMessage foreign{WM_PALETTECHANGED, 0x9999};
    Form.WindowProc(foreign);
    EXPECT_EQ(Form.Invalidated, 1) << "the foreground palette is already realised";
    TMessage paint{WM_PAINT};
    Form.WindowProc(paint);
    EXPECT_EQ(Form.Passed, std::vector<unsigned>{WM_PAINT});
  }
  // Destroyed with its form alive: the form's own handler is back.
  TMessage after{WM_QUERYNEWPALETTE};
  Form.WindowProc(after);
  EXPECT_EQ(Form.Passed, (std::vector<unsigned>{WM_PAINT, WM_QUERYNEWPALETTE}));
}

TEST_F(PaletteTest, DesignedFormsGetNoHandler) {
  Form.SetDesigning(true);
  TDIBPalette p(&Form);
  TMessage m{WM_QUERYNEWPALETTE};
  Form.WindowProc(m);
  EXPECT_EQ(Form.Passed, std::vector<unsigned>{WM_QUERYNEWPALETTE});
}

TEST_F(PaletteTest, Render8BitMapsEachPixelThroughTheTable) {
  TDIBPalette p(&Form);
  TGuardedDIB s(7, 5);
  std::mt19937 rng(5);
  FillRandom(s, rng);
  TMemoryDC8 dc(20, 20);
  try {
    s.Render8Bit(dc, 0, 0, 7, 5, 0, 0, 0, &p);
    FAIL();
  } catch (const EDIBError& e) {
    EXPECT_EQ(e.Message(), "Render8Bit can only be used with a palette containing a lookup table");
  }
  p.SetUseTable(true);
  TWinDIB wide(4, 4);
  try {
    s.Render8Bit(*wide.Handle(), 0, 0, 7, 5, 0, 0, 0, &p);
    FAIL();
  } catch (const EDIBError& e) {
    EXPECT_EQ(e.Message(), "Render8Bit can only be used to blit to an 8 bit DC");
  }
  dc.SelectPalette(p.Handle(), false);
  struct Case {
    int X, Y, W, H, SrcX, SrcY;
    int WantX, WantY, WantW, WantH;  // device rectangle drawn; the source starts at SrcX, SrcY
  } cases[] = {
      {2, 3, 7, 5, 0, 0, 2, 3, 7, 5},   {2, 3, 4, 2, 3, 2, 2, 3, 4, 2}, {0, 0, 100, 100, 5, 4, 0, 0, 2, 1},
      {-3, -1, 2, 2, 1, 1, 0, 0, 4, 4},  // negative: the extent comes from the whole picture
      {0, 0, 7, 5, 7, 0, 0, 0, 0, 0},   {-7, 0, 7, 5, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 5, 0, 0, 0, 0, 0, 0},
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    dc.Clear(255);
    s.Render8Bit(dc, c.X, c.Y, c.W, c.H, static_cast<uint16_t>(c.SrcX), static_cast<uint16_t>(c.SrcY), 0, &p);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) {
        const bool inside = x >= c.WantX && y >= c.WantY && x < c.WantX + c.WantW && y < c.WantY + c.WantH;
        const int want = inside ? p.Table()[DIBPaletteTableIndex(At(s, c.SrcX + x - c.WantX, c.SrcY + y - c.WantY))] : 255;
        ASSERT_EQ(dc.Pixel(x, y), want) << c.X << "," << c.Y << " at " << x << "," << y;
      }
  }
}

TEST(MemoryDC8, ReportsAnEightBitDeviceAndClipsThroughItsStateStack) {
  TMemoryDC8 dc(6, 4);
  EXPECT_EQ(dc.GetDeviceCaps(BITSPIXEL), 8);
  EXPECT_NE(dc.GetDeviceCaps(RASTERCAPS) & RC_DIBTODEV, 0);
  const int level = dc.SaveDC();
  dc.MoveOrigin(1, 1);
  EXPECT_EQ(dc.IntersectClipRect({0, 0, 2, 2}), SIMPLEREGION);
  dc.FillRect({-5, -5, 50, 50}, clWhite);
  EXPECT_TRUE(dc.RestoreDC(level));
  EXPECT_EQ(dc.Pixel(0, 0), 0);
  EXPECT_EQ(dc.Pixel(1, 1), 19) << "white is the last static colour";
  EXPECT_EQ(dc.Pixel(2, 2), 19);
  EXPECT_EQ(dc.Pixel(3, 3), 0);
  EXPECT_EQ(dc.ExcludeClipRect({0, 0, 6, 4}), NULLREGION);
  EXPECT_FALSE(dc.RectVisible({0, 0, 6, 4}));
  EXPECT_FALSE(dc.RestoreDC(1));
}
