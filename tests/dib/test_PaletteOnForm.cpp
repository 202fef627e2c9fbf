#include <gtest/gtest.h>

#include "dib/cDIBPalette.h"
#include "toolkit/Forms.h"

namespace {

TEST(PaletteOnForm, HandlesThePaletteMessagesFirstAndPassesTheRestOn) {
  TForm form(nullptr);
  int closes = 0;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_CLOSE) ++closes;
    else form.WndProc(m);
  };
  {
    auto* palette = new TDIBPalette(&form);
    form.Perform(WM_CLOSE);
    EXPECT_EQ(closes, 1) << "other messages reach the form's own handler";
    EXPECT_EQ(form.Perform(WM_QUERYNEWPALETTE), 0) << "a true-colour display realises nothing";
    form.Perform(WM_PALETTECHANGED, form.Handle());
    delete palette;
  }
  form.Perform(WM_CLOSE);
  EXPECT_EQ(closes, 2) << "the form's handler is back after the palette has gone";
}

TEST(PaletteOnForm, OnlyAFormMayOwnIt) {
  TComponent notAForm(nullptr);
  try {
    TDIBPalette palette(&notAForm);
    FAIL();
  } catch (const EDIBPaletteError& e) {
    EXPECT_EQ(e.Message(), "Palette owner must be a TCustomForm.");
  }
  EXPECT_EQ(notAForm.ComponentCount(), 0);
}

}  // namespace
