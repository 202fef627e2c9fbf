#pragma once
// Colours, fonts, brushes, the device context the canvas draws on, and the canvas itself.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Classes.h"
#include "toolkit/Types.h"

// A colour: $00BBGGRR for RGB values (red in the low byte); a negative value names a system colour
// by its index in the low byte and is turned into RGB by ColorToRGB before any arithmetic.
using TColor = int32_t;

constexpr TColor SysColorBase = static_cast<TColor>(0x80000000u);
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

enum : int {
  COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2, COLOR_INACTIVECAPTION = 3,
  COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6, COLOR_MENUTEXT = 7,
  COLOR_WINDOWTEXT = 8, COLOR_CAPTIONTEXT = 9, COLOR_ACTIVEBORDER = 10,
  COLOR_INACTIVEBORDER = 11, COLOR_APPWORKSPACE = 12, COLOR_HIGHLIGHT = 13,
  COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16, COLOR_GRAYTEXT = 17,
  COLOR_BTNTEXT = 18, COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20,
  COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23, COLOR_INFOBK = 24,
  COLOR_ENDCOLORS = 31,
};

constexpr TColor SysColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }
constexpr TColor clWindow = SysColor(COLOR_WINDOW), clWindowText = SysColor(COLOR_WINDOWTEXT),
                 clBtnFace = SysColor(COLOR_BTNFACE), clBtnShadow = SysColor(COLOR_BTNSHADOW),
                 clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT), clBtnText = SysColor(COLOR_BTNTEXT),
                 clHighlight = SysColor(COLOR_HIGHLIGHT), clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT),
                 clGrayText = SysColor(COLOR_GRAYTEXT), cl3DDkShadow = SysColor(COLOR_3DDKSHADOW),
                 cl3DLight = SysColor(COLOR_3DLIGHT), clInfoBk = SysColor(COLOR_INFOBK),
                 clInfoText = SysColor(COLOR_INFOTEXT);

// The system's current RGB value for a system colour index (the toolkit keeps its own table so
// drawing is the same on every desktop).
TColor SystemColorRGB(int index);
// Resolves a system colour to its RGB value; other values pass unchanged.
TColor ColorToRGB(TColor color);
inline int GetRValue(TColor c) { return c & 0xFF; }
inline int GetGValue(TColor c) { return (c >> 8) & 0xFF; }
inline int GetBValue(TColor c) { return (c >> 16) & 0xFF; }
inline TColor RGB(int r, int g, int b) { return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16); }

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

constexpr int DEFAULT_CHARSET = 1;
constexpr int ScreenPixelsPerInch = 96;

// The plain description of a font that the device context needs.
struct TFontData {
  std::string Name = "MS Sans Serif";
  int Height = -11;  // negative: character height in pixels; positive: cell height
  TFontStyles Style = 0;
  int Charset = DEFAULT_CHARSET;
  bool operator==(const TFontData&) const = default;
};

// A graphics object whose setters skip unchanged values and then report the change.
class TGraphicsObject : public TPersistent {
public:
  QV_CLASS(TGraphicsObject)
  TNotifyEvent OnChange;

protected:
  void Changed() {
    if (OnChange) OnChange(this);
  }
};

class TFont : public TGraphicsObject {
public:
  QV_CLASS(TFont)
  const std::string& Name() const { return FData.Name; }
  void SetName(const std::string& v);
  int Height() const { return FData.Height; }
  void SetHeight(int v);
  // Size in points: -Height * 72 / pixels per inch, rounded as the toolkit always did.
  int Size() const;
  void SetSize(int points);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  TFontStyles Style() const { return FData.Style; }
  void SetStyle(TFontStyles v);
  int Charset() const { return FData.Charset; }
  void SetCharset(int v);
  const TFontData& Data() const { return FData; }
  void CopyFrom(TPersistent* source) override;

private:
  TFontData FData;
  TColor FColor = clWindowText;
};

enum class TBrushStyle { bsSolid, bsClear };
class TBrush : public TGraphicsObject {
public:
  QV_CLASS(TBrush)
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle v);

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = TBrushStyle::bsSolid;
};

enum class TPenStyle { psSolid, psDash, psDot, psClear };
class TPen : public TGraphicsObject {
public:
  QV_CLASS(TPen)
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle v);
  int Width() const { return FWidth; }
  void SetWidth(int v);

private:
  TColor FColor = clBlack;
  TPenStyle FStyle = TPenStyle::psSolid;
  int FWidth = 1;
};

// Region kinds answered by the clip operations.
enum : int { RGN_ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3 };
// Device capability indices.
enum : int { BITSPIXEL = 12, PLANES = 14, RASTERCAPS = 38, LOGPIXELSX = 88, LOGPIXELSY = 90 };
enum : int { RC_DI_BITMAP = 0x0080, RC_PALETTE = 0x0100, RC_DIBTODEV = 0x0200, RC_STRETCHDIB = 0x2000 };

// A 32-bit picture in memory as the toolkit hands it to a device context: bytes B, G, R, A, rows
// top-down (RowStep may be negative for bottom-up storage).
struct TPixelView {
  const uint8_t* Origin = nullptr;  // first byte of the top row
  int Width = 0, Height = 0;
  intptr_t RowStep = 0;  // bytes from one row to the next one down
  bool HasAlpha = false;  // whether the alpha byte takes part when drawn
};

// A logical palette as a device context selects it: entries of red, green, blue, flags.
class TPaletteHandle {
public:
  struct Entry {
    uint8_t Red, Green, Blue, Flags;
  };
  explicit TPaletteHandle(std::vector<Entry> entries) : Entries(std::move(entries)) {}
  std::vector<Entry> Entries;
};

// Where drawing lands: a window being painted, or a picture in memory. Coordinates are logical
// (after the origin); the clip region and the origin live on a stack that SaveDC / RestoreDC keep.
class TDeviceContext {
public:
  virtual ~TDeviceContext() = default;

  virtual int SaveDC() = 0;  // answers the level to restore to
  virtual bool RestoreDC(int level) = 0;  // a negative level counts back from the newest
  virtual TPoint ViewportOrg() const = 0;
  virtual void SetViewportOrg(TPoint org) = 0;
  void MoveOrigin(int dx, int dy) {
    TPoint o = ViewportOrg();
    SetViewportOrg({o.X + dx, o.Y + dy});
  }
  virtual int IntersectClipRect(const TRect& r) = 0;
  virtual int ExcludeClipRect(const TRect& r) = 0;
  virtual int GetClipBox(TRect& box) const = 0;
  virtual bool RectVisible(const TRect& r) const = 0;

  virtual void FillRect(const TRect& r, TColor color) = 0;
  // A one-pixel outline just inside the rectangle, drawn as four fills.
  virtual void FrameRect(const TRect& r, TColor color);
  virtual void Rectangle(const TRect& r, TColor penColor, TPenStyle penStyle, TColor brushColor,
                         TBrushStyle brushStyle) = 0;

  virtual void SetFont(const TFontData& font) = 0;
  virtual TSize TextExtent(const std::string& text) = 0;
  // Draws text with its cell's top-left at (x, y), in the given colour, no background.
  virtual void TextOut(int x, int y, const std::string& text, TColor color) = 0;

  virtual void DrawPixels(int x, int y, const TPixelView& pixels) = 0;
  // Copies a rectangle of another device context's picture to (x, y) here, unchanged.
  virtual void BitBlt(int x, int y, int w, int h, TDeviceContext& source, int sx, int sy) = 0;
  virtual int GetDeviceCaps(int index) const = 0;

  // Palettes: on a display of 24 or 32 bits these do what such a display does (nothing to
  // realise); an 8-bit device overrides them.
  virtual TPaletteHandle* SelectPalette(TPaletteHandle* palette, bool forceBackground);
  virtual int RealizePalette() { return 0; }
  // Copies 8-bit palette-index rows (top row first, each RowStep bytes) to (x, y).
  virtual void SetDIBitsToDevice8(int x, int y, int w, int h, const uint8_t* bits, int rowStep,
                                  const uint32_t* colorTable, int colorCount);

protected:
  TPaletteHandle* FSelectedPalette = nullptr;
};

// Holds the device context it draws on (it does not own it) with its font, brush and pen.
class TCanvas : public TPersistent {
public:
  QV_CLASS(TCanvas)
  TCanvas();
  ~TCanvas() override;

  TDeviceContext* Handle() const { return FHandle; }
  void SetHandle(TDeviceContext* dc);
  bool HandleAllocated() const { return FHandle != nullptr; }
  TFont* Font() const { return FFont.get(); }
  TBrush* Brush() const { return FBrush.get(); }
  TPen* Pen() const { return FPen.get(); }

  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void Rectangle(const TRect& r);
  void TextOut(int x, int y, const std::string& text);
  TSize TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  void Draw(int x, int y, const TPixelView& pixels);

  void Lock() { ++FLockCount; }
  void Unlock() { --FLockCount; }
  int LockCount() const { return FLockCount; }

  // Fired after every drawing operation (a picture uses it to learn that its pixels changed).
  TNotifyEvent OnChange;

protected:
  void Changed();
  TDeviceContext& RequireHandle();

private:
  TDeviceContext* FHandle = nullptr;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TBrush> FBrush;
  std::unique_ptr<TPen> FPen;
  int FLockCount = 0;
};

// Saves a device context's origin and clip and restores them on every way out.
class TDCStateScope {
public:
  explicit TDCStateScope(TDeviceContext& dc) : FDC(dc), FLevel(dc.SaveDC()) {}
  ~TDCStateScope() { FDC.RestoreDC(FLevel); }
  TDCStateScope(const TDCStateScope&) = delete;
  TDCStateScope& operator=(const TDCStateScope&) = delete;

private:
  TDeviceContext& FDC;
  int FLevel;
};

// Binds a canvas to a device context for one painting, locked and with the control's font, and
// unbinds it on every way out.
class TCanvasPaintScope {
public:
  TCanvasPaintScope(TCanvas& canvas, TDeviceContext* dc, TFont* font) : FCanvas(canvas) {
    FCanvas.Lock();
    FCanvas.SetHandle(dc);
    if (font) FCanvas.Font()->CopyFrom(font);
  }
  ~TCanvasPaintScope() {
    FCanvas.SetHandle(nullptr);
    FCanvas.Unlock();
  }
  TCanvasPaintScope(const TCanvasPaintScope&) = delete;
  TCanvasPaintScope& operator=(const TCanvasPaintScope&) = delete;

private:
  TCanvas& FCanvas;
};

QV_EXCEPTION(EInvalidGraphicOperation, Exception)

// Text layout flags of DrawTextEx.
enum : unsigned {
  DT_LEFT = 0x0, DT_TOP = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40,
  DT_NOCLIP = 0x100, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800, DT_HIDEPREFIX = 0x100000,
  DT_RTLREADING = 0x20000,
};

// Lays text out in a rectangle and draws it in the given colour: alignment, word wrap at blanks,
// line breaks, and "&" accelerators (the next character underlined, "&&" shows one "&"). With
// DT_CALCRECT nothing is drawn and the rectangle is set to the text's extent. Answers the height.
int DrawTextEx(TDeviceContext& dc, const std::string& text, TRect& rect, unsigned flags,
               TColor color, const TFontData& font);

// The lines a text breaks into, without drawing; exposed for the label and for tests.
struct TTextLine {
  std::string Text;      // accelerator marks removed
  int Accelerator = -1;  // index in Text of the underlined character, or -1
};
std::vector<TTextLine> LayoutTextLines(const std::string& text, unsigned flags, int maxWidth,
                                       const std::function<int(const std::string&)>& measure);
