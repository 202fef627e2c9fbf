// Surfaces whose pixels come from the GUI backend: the canvas over them and a refused allocation.
#include <gtest/gtest.h>

#include "DIBTestUtil.h"

using namespace dibtest;

namespace {

// Passes everything to the installed backend except pixel memory, which it refuses.
class TRefusingBackend : public IBackend {
public:
  explicit TRefusingBackend(IBackend& inner) : FInner(inner) {}
  std::unique_ptr<IWindowPeer> CreateWindowPeer(TWinControl* c, IWindowPeer* p) override {
    return FInner.CreateWindowPeer(c, p);
  }
  std::unique_ptr<IFormPeer> CreateFormPeer(TWinControl* f) override { return FInner.CreateFormPeer(f); }
  std::unique_ptr<ITimerPeer> CreateTimerPeer(std::function<void()> t) override {
    return FInner.CreateTimerPeer(std::move(t));
  }
  std::unique_ptr<IDIBSection> CreateDIBSection(int, int) override { return nullptr; }
  TDeviceContext& ScreenDC() override { return FInner.ScreenDC(); }
  int ShowMessageBox(const TMessageBoxRequest& r) override { return FInner.ShowMessageBox(r); }
  void RunMessageLoop() override { FInner.RunMessageLoop(); }
  void ProcessMessages() override { FInner.ProcessMessages(); }
  void Quit(int code) override { FInner.Quit(code); }
  int ScreenBitsPerPixel() const override { return FInner.ScreenBitsPerPixel(); }
  TSize ScreenSize() const override { return FInner.ScreenSize(); }
  TPoint CursorPos() const override { return FInner.CursorPos(); }
  TWinControl* ControlAtScreenPoint(TPoint p) const override { return FInner.ControlAtScreenPoint(p); }

private:
  IBackend& FInner;
};

}  // namespace

TEST(WinDIB, StartsZeroedAndCanvasDrawingNotifies) {
  TWinDIB s(8, 6);
  ASSERT_NE(s.Handle(), nullptr);
  EXPECT_EQ(s.Canvas()->Handle(), s.Handle());
  for (int i = 0; i < 48; ++i) ASSERT_EQ(s.Pixels()[i], 0u);
  int changed = 0;
  s.OnChange = [&](TObject*) { ++changed; };
  s.Canvas()->Brush()->SetColor(clRed);
  s.Canvas()->FillRect({0, 0, 2, 1});
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(Hex(At(s, 0, 0) & 0xFFFFFF), "00FF0000") << "drawn at the top-left of the picture";
  EXPECT_EQ(Hex(At(s, 0, 5) & 0xFFFFFF), "00000000");
}

TEST(WinDIB, RefusedPixelsRaiseThePlatformErrorAndKeepTheNewSize) {
  TWinDIB s(4, 4);
  TRefusingBackend refusing(Backend());
  IBackend& previous = Backend();
  SetBackend(&refusing);
  try {
    s.SetSize(100, 50);
    SetBackend(&previous);
    FAIL();
  } catch (const Exception& e) {
    SetBackend(&previous);
    EXPECT_STREQ(e.ClassName(), "Exception");
    EXPECT_EQ(e.Message(), "Windows error (8) Not enough storage is available to process this command.");
  }
  EXPECT_EQ(s.Width(), 100);
  EXPECT_EQ(s.Height(), 50);
  EXPECT_EQ(s.Pixels(), nullptr);
  EXPECT_EQ(s.Canvas()->Handle(), nullptr);
  TGuardedDIB dst(4, 4);
  s.Draw(0, 0, 4, 4, &dst);  // a surface without pixels draws nothing
  s.Fill(clWhite);
  EXPECT_TRUE(dst.GuardsIntact());
  s.SetSize(3, 3);
  EXPECT_NE(s.Pixels(), nullptr);
}
