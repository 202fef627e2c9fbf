#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "fadelabel/untFadeLabel.h"
#include "toolkit/Backend.h"
#include "toolkit/Forms.h"

namespace {

// A label as the menu lines set it up: font colour $808080, FrameCount 5.
std::unique_ptr<TFadeLabel> MenuLine(int frames = 5, TColor font = 0x808080) {
  auto label = std::make_unique<TFadeLabel>(nullptr);
  label->Font()->SetColor(font);
  label->SetFrameCount(static_cast<uint8_t>(frames));
  return label;
}

// Leaves the label and answers the draw colour after each tick until the timer stops.
std::vector<TColor> FadeOut(TFadeLabel& label) {
  label.Perform(CM_MOUSELEAVE);
  std::vector<TColor> drawn;
  for (int guard = 0; guard < 300 && label.FadeTimer() && label.FadeTimer()->Enabled(); ++guard) {
    label.FadeTimer()->Tick();
    drawn.push_back(label.DrawColor());
  }
  return drawn;
}

TEST(FadeLabel, StartsWithItsDefaults) {
  TFadeLabel label(nullptr);
  EXPECT_EQ(label.ColorHighLighted(), clWhite);
  EXPECT_EQ(label.FrameCount(), 10);
  EXPECT_EQ(label.FrameDelay(), 50u);
  EXPECT_EQ(label.DrawColor(), clNone);
  EXPECT_EQ(label.FadeTimer(), nullptr);
  EXPECT_FALSE(label.MouseInside());
  EXPECT_EQ(label.FadeColors().size(), 10u) << "built from the font colour at construction";
}

TEST(FadeLabel, BuildsFadeColorsWithAccumulatedSteps) {
  struct Case {
    TColor Font, Highlight;
    int Frames;
    std::vector<TColor> Expected;
  } cases[] = {
      {0x808080, 0xFFFFFF, 5, {0x999999, 0xB2B2B2, 0xCCCCCC, 0xE5E5E5, 0xFFFFFF}},
      {0x808080, 0xFFFFFF, 10,
       {0x8C8C8C, 0x999999, 0xA6A6A6, 0xB2B2B2, 0xBFBFBF, 0xCCCCCC, 0xD8D8D8, 0xE5E5E5, 0xF2F2F2, 0xFEFEFE}},
      {0x000000, 0x0000FF, 2, {0x00007F, 0x0000FF}},
      {0xFF0000, 0x00FF00, 3, {0xAA5500, 0x55AA00, 0x00FF00}},  // blue falls, green rises
      {0x808080, 0xFFFFFF, 1, {}},
      {0x808080, 0xFFFFFF, 0, {}},
  };
  for (const Case& c : cases) {
    TFadeLabel label(nullptr);
    label.Font()->SetColor(c.Font);
    label.SetColorHighLighted(c.Highlight);
    label.SetFrameCount(static_cast<uint8_t>(c.Frames));
    EXPECT_EQ(label.FadeColors(), c.Expected) << std::hex << c.Font << " to " << c.Highlight << " in " << std::dec << c.Frames;
  }
}

TEST(FadeLabel, SystemColoursAreResolvedBeforeTheArithmetic) {
  TFadeLabel label(nullptr);
  label.Font()->SetColor(clBtnShadow);  // $808080 in the toolkit's palette
  label.SetColorHighLighted(clBtnHighlight);  // $FFFFFF
  label.SetFrameCount(2);
  EXPECT_EQ(label.FadeColors(), (std::vector<TColor>{0xBFBFBF, 0xFFFFFF}));
}

TEST(FadeLabel, MenuLineFadesThroughItsTableAtEveryTick) {
  auto label = MenuLine();
  EXPECT_EQ(label->DrawColor(), 0x808080);
  label->Perform(CM_MOUSEENTER);
  EXPECT_TRUE(label->MouseInside());
  EXPECT_EQ(label->DrawColor(), 0xFFFFFF);
  label->Perform(CM_MOUSELEAVE);
  EXPECT_FALSE(label->MouseInside());
  EXPECT_EQ(label->DrawColor(), 0xFFFFFF) << "the highlight stays until the first tick";
  ASSERT_NE(label->FadeTimer(), nullptr);
  EXPECT_EQ(label->FadeTimer()->Interval(), 50u);
  EXPECT_TRUE(label->FadeTimer()->Enabled());
  std::vector<TColor> drawn;
  while (label->FadeTimer()->Enabled()) {
    label->FadeTimer()->Tick();
    drawn.push_back(label->DrawColor());
  }
  EXPECT_EQ(drawn, (std::vector<TColor>{0xFFFFFF, 0xE5E5E5, 0xCCCCCC, 0xB2B2B2, 0x808080})) << "entry 0 is never shown";
}

TEST(FadeLabel, TenFramesStartFromTheLastEntry) {
  auto label = MenuLine(10);
  label->Perform(CM_MOUSEENTER);
  const std::vector<TColor> drawn = FadeOut(*label);
  ASSERT_EQ(drawn.size(), 10u);
  EXPECT_EQ(drawn.front(), 0xFEFEFE);
  EXPECT_EQ(drawn.back(), 0x808080);
}

TEST(FadeLabel, NoFadeWithoutFramesOrDelay) {
  struct Case {
    int Frames;
    uint32_t Delay;
  } cases[] = {{0, 50}, {1, 50}, {5, 0}};
  for (const Case& c : cases) {
    auto label = MenuLine(c.Frames);
    label->SetFrameDelay(c.Delay);
    label->Perform(CM_MOUSEENTER);
    EXPECT_EQ(label->DrawColor(), 0xFFFFFF);
    label->Perform(CM_MOUSELEAVE);
    EXPECT_EQ(label->DrawColor(), 0x808080) << c.Frames << " frames, delay " << c.Delay;
    EXPECT_EQ(label->FadeTimer(), nullptr) << "no timer is ever made";
  }
}

TEST(FadeLabel, ReturningPointerStopsTheFadeAndTheNextLeaveStartsFromTheTop) {
  auto label = MenuLine();
  label->Perform(CM_MOUSEENTER);
  label->Perform(CM_MOUSELEAVE);
  TTimer* timer = label->FadeTimer();
  timer->Tick();
  timer->Tick();
  EXPECT_EQ(label->DrawColor(), 0xE5E5E5);
  label->Perform(CM_MOUSEENTER);
  EXPECT_FALSE(timer->Enabled());
  EXPECT_EQ(label->DrawColor(), 0xFFFFFF);
  const std::vector<TColor> drawn = FadeOut(*label);
  EXPECT_EQ(label->FadeTimer(), timer) << "the timer is made once and reused";
  EXPECT_EQ(drawn, (std::vector<TColor>{0xFFFFFF, 0xE5E5E5, 0xCCCCCC, 0xB2B2B2, 0x808080}));
}

TEST(FadeLabel, LeavingDuringAFadeRestartsIt) {
  auto label = MenuLine();
  label->Perform(CM_MOUSEENTER);
  label->Perform(CM_MOUSELEAVE);
  label->FadeTimer()->Tick();
  label->FadeTimer()->Tick();
  label->FadeTimer()->Tick();
  EXPECT_EQ(FadeOut(*label), (std::vector<TColor>{0xFFFFFF, 0xE5E5E5, 0xCCCCCC, 0xB2B2B2, 0x808080}));
}

TEST(FadeLabel, FontChangeWhilePointerInsideKeepsTheHighlight) {
  auto label = MenuLine();
  label->Perform(CM_MOUSEENTER);
  label->Font()->SetColor(0x000000);
  EXPECT_EQ(label->DrawColor(), 0xFFFFFF);
  EXPECT_EQ(label->FadeColors().front(), 0x333333) << "the table follows the new font colour";
  EXPECT_EQ(FadeOut(*label), (std::vector<TColor>{0xFFFFFF, 0xCCCCCC, 0x999999, 0x666666, 0x000000}));
}

TEST(FadeLabel, FontChangeDuringAFadeShowsTheFontUntilTheNextTick) {
  auto label = MenuLine();
  label->Perform(CM_MOUSEENTER);
  label->Perform(CM_MOUSELEAVE);
  label->FadeTimer()->Tick();  // $FFFFFF, next entry 3
  label->Font()->SetColor(0x000000);
  EXPECT_EQ(label->DrawColor(), 0x000000);
  label->FadeTimer()->Tick();
  EXPECT_EQ(label->DrawColor(), 0xCCCCCC) << "entry 3 of the rebuilt table";
}

TEST(FadeLabel, NewHighlightWhileInsideShowsAtTheFirstTick) {
  auto label = MenuLine();
  label->Perform(CM_MOUSEENTER);
  label->SetColorHighLighted(0x0000FF);
  EXPECT_EQ(label->DrawColor(), 0xFFFFFF) << "nothing changes on screen";
  label->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(label->DrawColor(), 0xFFFFFF);
  label->FadeTimer()->Tick();
  EXPECT_EQ(label->DrawColor(), 0x0000FF);
}

TEST(FadeLabel, LoweringFrameCountDuringAFadeNeverReadsPastTheTable) {
  auto label = MenuLine(10);
  label->Perform(CM_MOUSEENTER);
  label->Perform(CM_MOUSELEAVE);
  label->FadeTimer()->Tick();
  label->SetFrameCount(3);
  std::vector<TColor> drawn;
  while (label->FadeTimer()->Enabled() && drawn.size() < 20) {
    label->FadeTimer()->Tick();
    drawn.push_back(label->DrawColor());
  }
  ASSERT_FALSE(drawn.empty());
  EXPECT_LE(drawn.size(), 3u);
  EXPECT_EQ(drawn.back(), 0x808080);
  for (TColor c : drawn) EXPECT_TRUE(c == 0x808080 || std::find(label->FadeColors().begin(), label->FadeColors().end(), c) != label->FadeColors().end());
}

TEST(FadeLabel, TimerTicksArriveThroughTheMessageLoop) {
  auto label = MenuLine();
  label->SetFrameDelay(1);
  label->Perform(CM_MOUSEENTER);
  label->Perform(CM_MOUSELEAVE);
  for (int i = 0; i < 2000 && label->FadeTimer()->Enabled(); ++i) {
    Backend().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_FALSE(label->FadeTimer()->Enabled());
  EXPECT_EQ(label->DrawColor(), 0x808080);
}

// Paints a windowless control into a picture in memory and answers the colours it holds.
std::vector<TColor> PaintedColours(TControl& control) {
  auto section = Backend().CreateDIBSection(control.Width(), control.Height());
  TDeviceContext& dc = section->DC();
  dc.FillRect({0, 0, control.Width(), control.Height()}, 0x000000);
  control.Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&dc));
  std::vector<TColor> colours;
  const uint8_t* p = section->Bits();
  for (int i = 0; i < control.Width() * control.Height(); ++i, p += 4) {
    const TColor c = RGB(p[2], p[1], p[0]);
    if (std::find(colours.begin(), colours.end(), c) == colours.end()) colours.push_back(c);
  }
  return colours;
}

bool Has(const std::vector<TColor>& colours, TColor c) { return std::find(colours.begin(), colours.end(), c) != colours.end(); }

TEST(FadeLabel, DrawsItsTextInTheDrawColour) {
  auto label = MenuLine();
  label->SetAutoSize(false);
  label->SetBounds(0, 0, 120, 30);
  label->SetTransparent(true);
  label->SetCaption("Feature");
  label->Perform(CM_MOUSEENTER);
  std::vector<TColor> colours = PaintedColours(*label);
  EXPECT_TRUE(Has(colours, 0xFFFFFF));
  EXPECT_FALSE(Has(colours, 0x808080));
  label->Perform(CM_MOUSELEAVE);
  label->FadeTimer()->Tick();
  label->FadeTimer()->Tick();
  colours = PaintedColours(*label);
  EXPECT_TRUE(Has(colours, 0xE5E5E5));
}

TEST(FadeLabel, DisabledLabelKeepsTheTwoToneLookWhateverThePointerDoes) {
  auto label = MenuLine();
  label->SetAutoSize(false);
  label->SetBounds(0, 0, 120, 30);
  label->SetTransparent(true);
  label->SetCaption("Feature");
  label->SetEnabled(false);
  for (unsigned msg : {unsigned{CM_MOUSEENTER}, unsigned{CM_MOUSELEAVE}}) {
    label->Perform(msg);
    const std::vector<TColor> colours = PaintedColours(*label);
    EXPECT_TRUE(Has(colours, ColorToRGB(clBtnHighlight)));
    EXPECT_TRUE(Has(colours, ColorToRGB(clBtnShadow)));
    EXPECT_EQ(colours.size(), 3u) << "background and the two tones only";
  }
}

}  // namespace
