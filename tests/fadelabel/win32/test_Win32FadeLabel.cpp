// A menu line in a real window of the Win32 backend: the pointer lights it up, and it fades back
// through the system's timer ticks, each step drawn into the window.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "fadelabel/untFadeLabel.h"
#include "support/win32/Win32Input.h"
#include "toolkit/Forms.h"

namespace {

using namespace win32_input;

TEST(Win32FadeLabel, TheMenuLineLightsUpUnderThePointerAndFadesBackInTheWindow) {
  TDesktopTurn turn;
  ParkPointer();
  TForm form(nullptr);
  PlaceForm(form, 240, 120);
  form.SetColor(clBlack);
  auto* line = new TFadeLabel(&form);
  line->SetParent(&form);
  line->SetAutoSize(false);
  line->SetBounds(20, 20, 120, 30);
  line->SetCaption("Feature");
  line->Font()->SetColor(0x808080);
  line->SetFrameCount(5);
  // Far apart enough that every step is seen between two rounds of processing.
  line->SetFrameDelay(60);
  ShowActive(form);
  // The steps are greys, which read alike as colour values and as 0xRRGGBB pixels.
  auto shows = [&](TColor colour) { return TWindowPixels(&form).Shows(line->BoundsRect(), colour); };
  ASSERT_TRUE(shows(0x808080));

  PointerTo(line, {10, 10});
  EXPECT_TRUE(line->MouseInside());
  EXPECT_TRUE(shows(0xFFFFFF)) << "lit up in the window";
  EXPECT_FALSE(shows(0x808080));

  PointerTo(&form, {200, 100});
  EXPECT_FALSE(line->MouseInside());
  std::vector<TColor> steps;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (line->FadeTimer() && line->FadeTimer()->Enabled() && std::chrono::steady_clock::now() < deadline) {
    Backend().ProcessMessages();
    if (line->DrawColor() != (steps.empty() ? TColor{0xFFFFFF} : steps.back())) {
      steps.push_back(line->DrawColor());
      EXPECT_TRUE(shows(steps.back())) << std::hex << steps.back() << " is not in the window";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(steps, (std::vector<TColor>{0xE5E5E5, 0xCCCCCC, 0xB2B2B2, 0x808080}))
      << "the first tick keeps the highlight; the table's first entry is never shown";
  EXPECT_FALSE(shows(0xFFFFFF));
  ParkPointer();
}

}  // namespace
