#pragma once
// Pictures: a graphic decoded from a file, and the picture loader that picks the decoder by the
// file's extension (lower-cased; the most recently registered kind first). Decoders hand their
// pixels to the canvas as 32-bit B, G, R, A rows, which is how every kind reaches a surface.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"
#include "toolkit/Streams.h"

QV_EXCEPTION(EInvalidGraphic, Exception)

class TGraphic : public TPersistent {
public:
  QV_CLASS(TGraphic)
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() == 0 || Height() == 0; }
  // Decodes the whole picture now, so that damaged data fails here and not when drawn.
  virtual void LoadFromBytes(std::span<const uint8_t> bytes) = 0;
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  // Draws the picture with its top-left at (x, y).
  virtual void Draw(TCanvas& canvas, int x, int y) const = 0;
};

// A graphic held as decoded pixels: top-down rows of B, G, R, A without padding.
class TPixelGraphic : public TGraphic {
public:
  QV_CLASS(TPixelGraphic)
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  // Whether the alpha bytes mean anything (icons); without, the picture is opaque.
  bool HasAlpha() const { return FHasAlpha; }
  // Whether every alpha byte is 255 already, so that making the picture opaque costs nothing.
  bool AlphaIsOpaque() const { return FAlphaIsOpaque; }
  // Whether the buffer holds the rows bottom-up (the picture surfaces' own order); View() gives
  // the rows top-down either way.
  bool BottomUp() const { return FBottomUp; }
  const uint8_t* Pixels() const { return FPixels.get(); }
  TPixelView View() const;
  void Draw(TCanvas& canvas, int x, int y) const override;
  // Hands the buffer (rows of Width() * 4 bytes in the order BottomUp() says, released with
  // platform::FreePixelMemory) to the caller and leaves the graphic empty.
  uint8_t* ReleasePixels();

protected:
  struct TFree {
    void operator()(uint8_t* p) const;
  };
  using TBuffer = std::unique_ptr<uint8_t, TFree>;
  // Takes a malloc'ed buffer of width * height * 4 bytes.
  void SetPixels(TBuffer pixels, int width, int height, bool hasAlpha, bool alphaIsOpaque = false,
                 bool bottomUp = false);
  static TBuffer AllocBuffer(size_t bytes);  // uninitialised; EOutOfResources when refused

private:
  TBuffer FPixels;
  int FWidth = 0, FHeight = 0;
  bool FHasAlpha = false;
  bool FAlphaIsOpaque = false;
  bool FBottomUp = false;
};

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

// Adds a picture kind for an extension (without the dot, any case).
void RegisterFileFormat(const std::string& extension, const std::string& description, TGraphicFactory factory);
void UnregisterFileFormat(const std::string& extension);
// The description of the kind that claims the extension, empty when none does.
std::string FileFormatDescription(const std::string& extension);

// Holds one graphic loaded from a file.
class TPicture : public TPersistent {
public:
  QV_CLASS(TPicture)
  TPicture();
  ~TPicture() override;
  // "Unknown picture file extension (.%s)", "Cannot open file %s", or the decoder's own failure.
  // On failure the picture keeps what it held.
  void LoadFromFile(const std::string& fileName);
  TGraphic* Graphic() const { return FGraphic.get(); }
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }

private:
  std::unique_ptr<TGraphic> FGraphic;
};

// Start-up help: decodes picture files on other cores while the program starts, so that it finds
// them ready when it builds its windows. Files whose format is not registered yet (only the
// toolkit's own JPEG is, before the GUI backend starts) are left to load as usual.
void PrefetchPictureFiles(const std::vector<std::string>& fileNames);
// Waits for the decodes still running and drops every result not taken.
void EndPicturePrefetch();

// Upper bound on the pixel count that a file of the given size may make a decoder allocate up
// front. Real pictures compress far less than this; a header claiming more must prove it with
// data as decoding goes.
size_t JustifiedPixels(size_t inputBytes);
