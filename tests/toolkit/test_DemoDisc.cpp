#include <gtest/gtest.h>

#include "toolkit/Pictures.h"

namespace {

const std::string kCovers = std::string(QV_TEST_DATA) + "/../../examples/demo-disc/Covers/";

// The demo disc's pictures are drawn by a script; a change to it must still give pictures the
// program reads, at the sizes the start-up benchmark and the inside cover's container expect.
TEST(DemoDisc, CoverPicturesLoadAtTheirSizes) {
  const struct {
    const char* File;
    int Width, Height;
  } cases[] = {
      {"front.jpg", 1400, 1400},
      {"back.jpg", 1400, 1400},
      {"inside.bmp", 336, 469},
  };
  for (const auto& c : cases) {
    TPicture picture;
    picture.LoadFromFile(kCovers + c.File);
    auto* graphic = dynamic_cast<TPixelGraphic*>(picture.Graphic());
    ASSERT_TRUE(graphic) << c.File;
    EXPECT_EQ(graphic->Width(), c.Width) << c.File;
    EXPECT_EQ(graphic->Height(), c.Height) << c.File;
  }
}

}  // namespace
