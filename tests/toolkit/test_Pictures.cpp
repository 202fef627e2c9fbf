#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "toolkit/ComCtrls.h"
#include "toolkit/Jpeg.h"
#include "toolkit/Pictures.h"

extern "C" {
#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>
#include <jerror.h>
}

namespace {

const std::string kPictures = std::string(QV_TEST_DATA) + "/pictures/";
const std::string kMalformed = std::string(QV_TEST_DATA) + "/malformed/";

std::vector<uint8_t> Raw(const std::string& name) { return ReadFileBytes(kPictures + name); }

// The encoder's input for each picture: channels per pixel (3 or 4) and, for JPEG, the tolerance.
struct TCase {
  const char* File;
  const char* Source;
  int Width, Height, Channels;
  int MaxError;  // 0: exact
  bool Unused;
};

const TCase kCases[] = {
    {"bmp24.bmp", "sharp.rgb", 20, 12, 3, 0, false},
    {"bmp8.bmp", "sharp.rgb", 20, 12, 3, 0, false},  // palette, run-length encoded
    {"bmp32.bmp", "alpha.rgba", 16, 16, 4, 0, false},
    {"icon.ico", "alpha.rgba", 16, 16, 4, 0, false},
    {"baseline.jpg", "smooth.rgb", 40, 24, 3, 6, false},
    {"progressive.jpg", "smooth.rgb", 40, 24, 3, 6, false},
    {"UPPER.JPG", "smooth.rgb", 40, 24, 3, 6, false},
    {"gray.jpg", "smooth.gray", 40, 24, 1, 4, false},
    {"cmyk.jpg", "smooth.rgb", 40, 24, 3, 8, false},
};

TEST(Pictures, DecodersGiveTheColoursTheEncoderWasGiven) {
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.File);
    TPicture picture;
    picture.LoadFromFile(kPictures + c.File);
    auto* graphic = dynamic_cast<TPixelGraphic*>(picture.Graphic());
    ASSERT_TRUE(graphic);
    ASSERT_EQ(graphic->Width(), c.Width);
    ASSERT_EQ(graphic->Height(), c.Height);
    const std::vector<uint8_t> source = Raw(c.Source);
    const TPixelView view = graphic->View();  // top-down, whichever order the buffer holds
    int failures = 0;
    for (int i = 0; i < c.Width * c.Height && failures < 5; ++i) {
      const uint8_t* s = &source[static_cast<size_t>(i * c.Channels)];
      int r = s[0], g = c.Channels == 1 ? s[0] : s[1], b = c.Channels == 1 ? s[0] : s[2];
      const uint8_t* d = view.Origin + (i / c.Width) * view.RowStep + (i % c.Width) * 4;
      int err = std::max({std::abs(d[2] - r), std::abs(d[1] - g), std::abs(d[0] - b)});
      // Where an icon is see-through its colour is whatever the encoder left (ImageMagick
      // clears it); half-transparent colours may be rounded by one step through premultiplying.
      if (graphic->HasAlpha() && s[3] == 0) err = 0;
      if (graphic->HasAlpha() && s[3] != 255 && err <= 2) err = 0;
      // The icon keeps its alpha for drawing; bitmaps draw opaque whatever their fourth byte.
      const bool alphaOk = c.Channels == 4 && graphic->HasAlpha() ? d[3] == s[3] : true;
      if (err > c.MaxError || !alphaOk) {
        ++failures;
        ADD_FAILURE() << "pixel " << i % c.Width << "," << i / c.Width << std::hex << " got B" << int(d[0]) << " G"
                      << int(d[1]) << " R" << int(d[2]) << " A" << int(d[3]) << " want R" << r << " G" << g << " B" << b;
      }
    }
    EXPECT_EQ(graphic->HasAlpha(), std::string(c.File) == "icon.ico");
  }
}

TEST(Pictures, JpegKindsAreRecognised) {
  TJPEGImage progressive, gray;
  progressive.LoadFromFile(kPictures + "progressive.jpg");
  gray.LoadFromFile(kPictures + "gray.jpg");
  EXPECT_TRUE(progressive.Progressive());
  EXPECT_TRUE(gray.Grayscale());
  EXPECT_EQ(FileFormatDescription("JPG"), "JPEG Image File");
}

// Damaged and mislabelled files fail with the decoder's message; the picture keeps what it had.
TEST(Pictures, BadFilesFailWithTheStatedMessages) {
  struct TBad {
    std::string File;
    std::string Message;  // a prefix is enough for JPEG codes
  } cases[] = {
      {kMalformed + "truncated.jpg", "JPEG error #"},
      {kMalformed + "empty.jpg", "JPEG error #"},
      {kMalformed + "png-named.jpg", "JPEG error #"},
      {kMalformed + "huge-claim.jpg", "JPEG error #"},
      {kMalformed + "zero.jpg", "JPEG error #"},
      {kMalformed + "huge-claim.bmp", "Bitmap image is not valid"},
      {kMalformed + "zero.bmp", "Bitmap image is not valid"},
      {kMalformed + "truncated.bmp", "Bitmap image is not valid"},
      {kMalformed + "garbage.ico", "Icon image is not valid"},
      {kPictures + "png-named.png", "Unknown picture file extension (.png)"},
      {kPictures + "no-extension", "Unknown picture file extension (.)"},
      {kPictures + "missing.bmp", "Cannot open file " + kPictures + "missing.bmp"},
      {kPictures + "missing.JPEG", "Cannot open file " + kPictures + "missing.JPEG"},
      {kPictures + ".", "Unknown picture file extension (.)"},
  };
  for (const TBad& c : cases) {
    TPicture picture;
    picture.LoadFromFile(kPictures + "bmp24.bmp");
    try {
      picture.LoadFromFile(c.File);
      ADD_FAILURE() << c.File << " loaded";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message().substr(0, c.Message.size()), c.Message) << c.File << ": " << e.Message();
    }
    EXPECT_EQ(picture.Width(), 20) << c.File;
  }
}

TEST(Pictures, TruncatedJpegReportsTheEndOfDataCode) {
  // A JPEG cut short is damaged data: the library's "premature end of data" warning code.
  TJPEGImage jpeg;
  try {
    jpeg.LoadFromFile(kMalformed + "truncated.jpg");
    FAIL();
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message(), Format("JPEG error #%d", JWRN_JPEG_EOF));
  }
}

TEST(Pictures, TheMostRecentRegistrationOfAnExtensionWins) {
  struct TFake : TPixelGraphic {
    void LoadFromBytes(std::span<const uint8_t>) override { throw EInvalidGraphic("fake decoder"); }
  };
  RegisterFileFormat("JPG", "fake", [] { return std::make_unique<TFake>(); });
  TPicture picture;
  EXPECT_THROW(
      try { picture.LoadFromFile(kPictures + "baseline.jpg"); } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "fake decoder");
        throw;
      },
      EInvalidGraphic);
  UnregisterFileFormat("jpg");
  EXPECT_THROW(picture.LoadFromFile(kPictures + "baseline.jpg"), EInvalidGraphic);
  RegisterFileFormat("jpg", "JPEG Image File", [] { return std::make_unique<TJPEGImage>(); });
  picture.LoadFromFile(kPictures + "baseline.jpg");
  EXPECT_EQ(picture.Width(), 40);
}

}  // namespace

namespace {

std::vector<uint8_t> PixelsOf(const TPicture& picture) {
  const auto* graphic = dynamic_cast<const TPixelGraphic*>(picture.Graphic());
  if (!graphic) return {};
  const TPixelView view = graphic->View();
  std::vector<uint8_t> pixels;
  for (int y = 0; y < view.Height; ++y)
    pixels.insert(pixels.end(), view.Origin + y * view.RowStep, view.Origin + y * view.RowStep + view.Width * 4);
  return pixels;
}

std::string LoadFailure(const std::string& file) {
  try {
    TPicture().LoadFromFile(file);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

}  // namespace

// A head start must never change what loading gives: the same pixels, the same failures with
// the same texts, each file taken once, and nothing left behind.
TEST(Pictures, PrefetchedPicturesLoadExactlyAsWithoutPrefetching) {
  TPicture expected;
  expected.LoadFromFile(kPictures + "progressive.jpg");
  const std::string missing = kPictures + "no-such-cover.jpg";
  const std::string missingText = LoadFailure(missing), truncatedText = LoadFailure(kMalformed + "truncated.jpg");
  ASSERT_FALSE(missingText.empty());
  ASSERT_FALSE(truncatedText.empty());

  PrefetchPictureFiles({kPictures + "progressive.jpg", missing, kMalformed + "truncated.jpg", kPictures + "cover.xyz"});
  TPicture first, second;
  first.LoadFromFile(kPictures + "progressive.jpg");
  EXPECT_EQ(PixelsOf(first), PixelsOf(expected));
  EXPECT_EQ(LoadFailure(missing), missingText);
  EXPECT_EQ(LoadFailure(kMalformed + "truncated.jpg"), truncatedText);
  EXPECT_EQ(LoadFailure(kPictures + "cover.xyz"), "Unknown picture file extension (.xyz)");
  second.LoadFromFile(kPictures + "progressive.jpg");  // decoded afresh: the prefetch was taken
  EXPECT_EQ(PixelsOf(second), PixelsOf(expected));

  PrefetchPictureFiles({kPictures + "baseline.jpg"});
  EndPicturePrefetch();  // waits for the decode and drops it
  TPicture later;
  later.LoadFromFile(kPictures + "baseline.jpg");
  EXPECT_EQ(later.Width(), 40);
}
