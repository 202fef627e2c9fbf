#pragma once
// What the composition benchmark needs from each backend: the backend started as the program
// starts it, and the yardstick, the same inside cover as a plain program of that GUI system draws
// it (bench/<backend>/CompositionYardstick.cpp). The scene itself is described here once.
#include <cstdint>
#include <memory>
#include <string>

#include "toolkit/Graphics.h"
#include "toolkit/Types.h"

namespace composition {

// A 1400 x 1400 picture stretched into kImage at half opacity over black, then eight lines of
// white 18-point text, each centred across the top of its label.
constexpr int kWidth = 338, kHeight = 471, kSide = 1400, kLabels = 8, kPoints = 18;
constexpr uint8_t kOpacity = 128;
constexpr int kChangingLabel = 3;  // the label whose colour the second figure changes
inline const TRect kImage = Bounds(1, 1, 336, 469);

inline TRect LabelRect(int i) { return Bounds(9, 16 + i * 38, 320, 32); }
inline std::string LabelText(int i) { return "Feature number " + std::to_string(i + 1); }

// A photo-like opaque picture: smooth gradients with fine detail, as 0xAARRGGBB.
inline uint32_t PicturePixel(int x, int y) {
  const uint32_t r = static_cast<uint32_t>(x / 8 + ((x * y) & 15)) & 0xFF;
  const uint32_t g = static_cast<uint32_t>(y / 8 + ((x ^ y) & 7)) & 0xFF;
  const uint32_t b = static_cast<uint32_t>((x + y) / 16) & 0xFF;
  return 0xFF000000u | r << 16 | g << 8 | b;
}

// Keeps the backend installed for the run while it lives.
class TBackendRun {
public:
  TBackendRun(int& argc, char** argv);
  ~TBackendRun();
  TBackendRun(const TBackendRun&) = delete;
  TBackendRun& operator=(const TBackendRun&) = delete;

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// The scene drawn by the system's own drawing calls, in a picture of its own that holds the
// last drawing. The font is the labels' own (face and height as the toolkit gives them).
class TYardstick {
public:
  explicit TYardstick(const TFontData& font);
  ~TYardstick();
  TYardstick(const TYardstick&) = delete;
  TYardstick& operator=(const TYardstick&) = delete;

  // The whole scene, or only what lies in clip, with the changing label in its colour.
  void Draw(const TRect* clip, TColor changingLabel);

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace composition
