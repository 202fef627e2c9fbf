#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "dib/cDIBCompressor.h"
#include "dib/cDIBFormat.h"
#include "toolkit/Pictures.h"

namespace {

const std::string kPictures = std::string(QV_TEST_DATA) + "/pictures/";
const std::string kMalformed = std::string(QV_TEST_DATA) + "/malformed/";

struct TChangeCounter {
  int Count = 0;
  void Attach(TAbstractSuperDIB& dib) {
    dib.OnChange = [this](TObject*) { ++Count; };
  }
};

uint32_t PixelAt(const TAbstractSuperDIB& dib, int x, int y) { return *dib.ScanPixel(x, y); }

// What the surface must hold after LoadFromFile: the encoder's colours over a zero background,
// all opaque.
TEST(LoadFromFile, PicturesBecomeOpaqueSurfacesInThreeChanges) {
  struct TCase {
    const char* File;
    const char* Source;
    int Width, Height, Channels, MaxError;
  } cases[] = {
      {"bmp24.bmp", "sharp.rgb", 20, 12, 3, 0},
      {"bmp8.bmp", "sharp.rgb", 20, 12, 3, 0},
      {"bmp32.bmp", "alpha.rgba", 16, 16, 4, 0},
      {"icon.ico", "alpha.rgba", 16, 16, 4, 2},
      {"baseline.jpg", "smooth.rgb", 40, 24, 3, 6},
      {"UPPER.JPG", "smooth.rgb", 40, 24, 3, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    TMemoryDIB dib(3, 3);
    dib.SetOpacity(77);
    TChangeCounter changes;
    changes.Attach(dib);
    LoadDIBFromFile(dib, kPictures + c.File);
    EXPECT_EQ(changes.Count, 3);
    EXPECT_EQ(dib.Opacity(), 77) << "settings are kept";
    ASSERT_EQ(dib.Width(), c.Width);
    ASSERT_EQ(dib.Height(), c.Height);
    const std::vector<uint8_t> source = ReadFileBytes(kPictures + c.Source);
    const bool icon = std::string(c.File) == "icon.ico";
    int failures = 0;
    for (int y = 0; y < c.Height; ++y)
      for (int x = 0; x < c.Width && failures < 5; ++x) {
        const uint8_t* s = &source[static_cast<size_t>((y * c.Width + x) * c.Channels)];
        int r = s[0], g = s[1], b = s[2];
        if (icon) {
          // An icon is drawn over the zeroed intermediate: its transparent parts stay black.
          r = r * s[3] / 255;
          g = g * s[3] / 255;
          b = b * s[3] / 255;
        }
        const uint32_t p = PixelAt(dib, x, y);
        const int err = std::max({std::abs(int((p >> 16) & 255) - r), std::abs(int((p >> 8) & 255) - g),
                                  std::abs(int(p & 255) - b)});
        if (err > c.MaxError || (p >> 24) != 255) {
          ++failures;
          ADD_FAILURE() << x << "," << y << std::hex << " got " << p << " want R" << r << " G" << g << " B" << b;
        }
      }
  }
}

// A memory surface takes the decoded rows themselves, turned in place; a surface of the toolkit
// gets them copied. Both must come out the same, the middle row of an odd height included.
TEST(LoadFromFile, MemoryAndToolkitSurfacesGetTheSameRows) {
  constexpr int kW = 3, kH = 5;
  std::vector<uint8_t> bmp(54 + 12 * kH, 0);  // 3 pixels of 3 bytes, rows padded to 12 bytes
  const auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&bmp[at], &v, 4); };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, kW);
  put32(22, kH);
  bmp[26] = 1;
  bmp[28] = 24;
  for (int row = 0; row < kH; ++row)  // stored bottom-up: file row 0 is the picture's last row
    for (int x = 0; x < kW; ++x) {
      uint8_t* px = &bmp[54 + static_cast<size_t>(row) * 12 + x * 3];
      px[0] = static_cast<uint8_t>(10 * x);              // blue: the column
      px[1] = static_cast<uint8_t>(40 * (kH - 1 - row));  // green: the picture's row
      px[2] = 200;
    }
  const std::string file = testing::TempDir() + "odd-height.bmp";
  FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bmp.data(), 1, bmp.size(), f);
  std::fclose(f);
  TMemoryDIB memory(kW, kH);
  TWinDIB toolkit(kW, kH);
  LoadDIBFromFile(memory, file);
  LoadDIBFromFile(toolkit, file);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const uint32_t want = 0xFFC80000u | (40u * y) << 8 | 10u * x;
      EXPECT_EQ(PixelAt(memory, x, y), want) << x << "," << y;
      EXPECT_EQ(PixelAt(toolkit, x, y), want) << x << "," << y;
    }
  std::remove(file.c_str());
}

TEST(LoadFromFile, AFailureKeepsTheSurfaceAsItWas) {
  for (const std::string& file : {kMalformed + "truncated.jpg", kMalformed + "huge-claim.bmp",
                                 kPictures + "png-named.png", kPictures + "missing.jpg"}) {
    TMemoryDIB dib(5, 7);
    dib.Fill(clRed);
    TChangeCounter changes;
    changes.Attach(dib);
    EXPECT_THROW(LoadDIBFromFile(dib, file), Exception) << file;
    EXPECT_EQ(dib.Width(), 5);
    EXPECT_EQ(dib.Height(), 7);
    EXPECT_EQ(PixelAt(dib, 4, 6), 0x00FF0000u);
    EXPECT_EQ(changes.Count, 0);
  }
}

std::vector<uint8_t> Written(const TAbstractSuperDIB& dib) {
  TMemoryStream s;
  WriteDIBData(dib, s);
  return s.TakeBytes();
}

TEST(DataBlock, OnePixelSurfaceRoundTrips) {
  TMemoryDIB one(1, 1);
  *one.Pixels() = 0x44332211;
  const std::vector<uint8_t> bytes = Written(one);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 0, 1, 0, 0x11, 0x22, 0x33, 0x44}));

  TMemoryDIB other(5, 7);
  TChangeCounter changes;
  changes.Attach(other);
  ReadDIBData(other, bytes);
  EXPECT_EQ(other.Width(), 1);
  EXPECT_EQ(other.Height(), 1);
  EXPECT_EQ(*other.Pixels(), 0x44332211u);
  EXPECT_EQ(changes.Count, 1);

  // The surface's own stream operations carry the same block.
  EXPECT_EQ(one.WriteData(), bytes);
  TWinDIB win(3, 3);
  win.ReadData(bytes);
  EXPECT_EQ(win.Width(), 1);
  EXPECT_EQ(*win.Pixels(), 0x44332211u);
}

TEST(DataBlock, ShortAndLyingBlocks) {
  // Two pixels stored, three claimed: the third keeps what it had, no error.
  TMemoryDIB dib(3, 1);
  std::memset(dib.Pixels(), 0xAB, 12);
  ReadDIBData(dib, std::vector<uint8_t>{3, 0, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(dib.Pixels()[0], 0x04030201u);
  EXPECT_EQ(dib.Pixels()[2], 0xABABABABu);

  // A block claiming 65535 x 65535 pixels with a few bytes is damaged; the surface is kept.
  TMemoryDIB kept(2, 2);
  try {
    ReadDIBData(kept, std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4});
    ADD_FAILURE() << "a 65535 x 65535 claim on 4 bytes was taken";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Data block claims 65535x65535 pixels but holds 4 bytes");
  }
  EXPECT_EQ(kept.Width(), 2);
  // Shorter than its size fields: a clean stream error.
  EXPECT_THROW(ReadDIBData(kept, std::vector<uint8_t>{1, 0, 1}), EReadError);
  EXPECT_THROW(ReadDIBData(kept, std::vector<uint8_t>{}), EReadError);
}

TEST(LoadFromFile, ThePicturePassesThroughTheSurfacesClipLikeAnyDraw) {
  // The same picture loaded into a surface of its own size whose clip is one pixel: only that
  // pixel changes, whichever way the picture is decoded.
  for (const char* file : {"bmp24.bmp", "baseline.jpg", "icon.ico"}) {
    TMemoryDIB probe;
    LoadDIBFromFile(probe, kPictures + file);
    TMemoryDIB dib(probe.Width(), probe.Height());
    dib.Fill(clBlack);
    dib.SetClipRect({0, 0, 0, 0});
    LoadDIBFromFile(dib, kPictures + file);
    const size_t n = static_cast<size_t>(dib.Width()) * dib.Height();
    size_t changed = 0;
    for (size_t i = 0; i < n; ++i)
      if ((dib.Pixels()[i] & 0xFFFFFF) != 0) ++changed;
    EXPECT_LE(changed, 1u) << file;
  }
}

TEST(DataBlock, SignatureAloneDecidesCompression) {
  std::vector<uint8_t> block(25, 7);
  std::memcpy(block.data(), "DIBCMP", 6);
  TBytesStream shortBlock(block);
  TMemoryStream out;
  DecompressStream(shortBlock, out);
  EXPECT_EQ(out.Bytes(), block) << "too short to hold the header: passed on unchanged";

  block.push_back(0);
  TBytesStream longBlock(block);
  try {
    DecompressStream(longBlock, out);
    FAIL();
  } catch (const EDIBCompressError& e) {
    EXPECT_EQ(e.Message(), "Could not find a suitable decompressor.");
  }
  TMemoryDIB dib(2, 2);
  EXPECT_THROW(ReadDIBData(dib, block), EDIBCompressError);
  EXPECT_EQ(dib.Width(), 2);
}

// A real compressor: runs of equal bytes as (count, byte) pairs.
class TRunLengthCompressor : public TDIBCompressor {
public:
  static constexpr TDIBCompressorID kID = {'R', 'L', 'E', '1'};
  void GetCompressorID(TDIBCompressorID& ID) override { ID = kID; }
  bool CanDecompress(const TDIBCompressorID& ID) override { return ID == kID; }
  int32_t Compress(const void* Source, void* Target, int32_t Count) override {
    auto* s = static_cast<const uint8_t*>(Source);
    auto* t = static_cast<uint8_t*>(Target);
    int32_t out = 0;
    for (int32_t i = 0; i < Count;) {
      int32_t run = 1;
      while (i + run < Count && run < 255 && s[i + run] == s[i]) ++run;
      if (out + 2 > Count) return 0;
      t[out++] = static_cast<uint8_t>(run);
      t[out++] = s[i];
      i += run;
    }
    return out < Count ? out : 0;
  }
  void Decompress(const TDIBCompressorID&, const void* Source, void* Target, int32_t SourceCount,
                  int32_t TargetCount) override {
    auto* s = static_cast<const uint8_t*>(Source);
    auto* t = static_cast<uint8_t*>(Target);
    int32_t out = 0;
    for (int32_t i = 0; i + 1 < SourceCount; i += 2) {
      if (out + s[i] > TargetCount) throw EDIBCompressError("Run-length data is damaged");
      std::memset(t + out, s[i + 1], s[i]);
      out += s[i];
    }
    if (out != TargetCount) throw EDIBCompressError("Run-length data is damaged");
  }
};

TEST(DataBlock, ARegisteredCompressorShrinksBlocksAndReadsThemBack) {
  TDIBCompressor* rle = RegisterDecompressor(std::make_unique<TRunLengthCompressor>());
  SetActiveCompressor(rle);
  struct TCleanup {
    TDIBCompressor* C;
    ~TCleanup() { UnregisterDecompressor(C); }
  } cleanup{rle};

  TMemoryDIB flat(100, 100);
  flat.Fill(clBlack);  // all zero bytes: long runs
  const std::vector<uint8_t> packed = Written(flat);
  ASSERT_GT(packed.size(), 26u);
  EXPECT_EQ(std::string(packed.begin(), packed.begin() + 6), "DIBCMP");
  EXPECT_LT(packed.size(), 1000u);
  int32_t rawLength;
  std::memcpy(&rawLength, &packed[22], 4);
  EXPECT_EQ(rawLength, 4 + 100 * 100 * 4);
  TMemoryDIB back(1, 1);
  ReadDIBData(back, packed);
  ASSERT_EQ(back.Width(), 100);
  EXPECT_EQ(std::memcmp(back.Pixels(), flat.Pixels(), 100 * 100 * 4), 0);

  // Noise does not get smaller: a raw block.
  TMemoryDIB noise(16, 16);
  std::mt19937 rng(5);
  for (int i = 0; i < 256; ++i) noise.Pixels()[i] = rng();
  const std::vector<uint8_t> raw = Written(noise);
  EXPECT_EQ(raw.size(), 4u + 16 * 16 * 4);
  EXPECT_EQ(raw[0], 16);

  // A compressed block whose stated raw length is far beyond its bytes is refused unread.
  std::vector<uint8_t> lying(packed.begin(), packed.begin() + 28);
  const int32_t huge = 0x7FFFFFFF;
  std::memcpy(&lying[22], &huge, 4);
  try {
    ReadDIBData(back, lying);
    ADD_FAILURE() << "a compressed block claiming 2 GB was expanded";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Compressed block is damaged");
  }
  EXPECT_EQ(back.Width(), 100);
}

}  // namespace
