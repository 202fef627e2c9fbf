#include "toolkit/Graphics.h"

#include <cmath>
#include <optional>

namespace {
// The classic desktop palette of system colours, as $00BBGGRR.
constexpr TColor kSysColors[COLOR_ENDCOLORS + 1] = {
    0xC8D0D4, 0x000000, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
    0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
    0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0x6A240A, 0xC8D0D4, 0x000000,
};
}  // namespace

TColor SystemColorRGB(int index) {
  if (index < 0 || index > COLOR_ENDCOLORS) return 0;
  return kSysColors[index];
}

TColor ColorToRGB(TColor color) {
  if (color < 0) return SystemColorRGB(color & 0xFF);
  return color;
}

void TFont::SetName(const std::string& v) {
  if (v == FData.Name) return;
  FData.Name = v;
  Changed();
}

void TFont::SetHeight(int v) {
  if (v == FData.Height) return;
  FData.Height = v;
  Changed();
}

int TFont::Size() const {
  return -static_cast<int>(std::lround(static_cast<double>(FData.Height) * 72 / ScreenPixelsPerInch));
}

void TFont::SetSize(int points) {
  SetHeight(-static_cast<int>(std::lround(static_cast<double>(points) * ScreenPixelsPerInch / 72)));
}

void TFont::SetColor(TColor v) {
  if (v == FColor) return;
  FColor = v;
  Changed();
}

void TFont::SetStyle(TFontStyles v) {
  if (v == FData.Style) return;
  FData.Style = v;
  Changed();
}

void TFont::SetCharset(int v) {
  if (v == FData.Charset) return;
  FData.Charset = v;
  Changed();
}

void TFont::CopyFrom(TPersistent* source) {
  if (auto* f = dynamic_cast<TFont*>(source)) {
    if (f->FData == FData && f->FColor == FColor) return;
    FData = f->FData;
    FColor = f->FColor;
    Changed();
    return;
  }
  TGraphicsObject::CopyFrom(source);
}

void TBrush::SetColor(TColor v) {
  if (v == FColor) return;
  FColor = v;
  FStyle = TBrushStyle::bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle v) {
  if (v == FStyle) return;
  FStyle = v;
  Changed();
}

void TPen::SetColor(TColor v) {
  if (v == FColor) return;
  FColor = v;
  Changed();
}

void TPen::SetStyle(TPenStyle v) {
  if (v == FStyle) return;
  FStyle = v;
  Changed();
}

void TPen::SetWidth(int v) {
  if (v == FWidth) return;
  FWidth = v;
  Changed();
}

void TDeviceContext::FrameRect(const TRect& r, TColor color) {
  if (r.IsEmpty()) return;
  FillRect({r.Left, r.Top, r.Right, r.Top + 1}, color);
  FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom}, color);
  FillRect({r.Left, r.Top, r.Left + 1, r.Bottom}, color);
  FillRect({r.Right - 1, r.Top, r.Right, r.Bottom}, color);
}

TPaletteHandle* TDeviceContext::SelectPalette(TPaletteHandle* palette, bool) {
  TPaletteHandle* previous = FSelectedPalette;
  FSelectedPalette = palette;
  return previous;
}

void TDeviceContext::SetDIBitsToDevice8(int x, int y, int w, int h, const uint8_t* bits, int rowStep,
                                        const uint32_t* colorTable, int colorCount) {
  // A true-colour device shows each index through the colour table (entries $00RRGGBB).
  if (!bits || !colorTable || w <= 0 || h <= 0) return;
  std::vector<uint8_t> row(static_cast<size_t>(w) * 4);
  for (int j = 0; j < h; ++j) {
    const uint8_t* src = bits + static_cast<intptr_t>(j) * rowStep;
    for (int i = 0; i < w; ++i) {
      uint32_t c = src[i] < colorCount ? colorTable[src[i]] : 0;
      row[static_cast<size_t>(i) * 4 + 0] = static_cast<uint8_t>(c);
      row[static_cast<size_t>(i) * 4 + 1] = static_cast<uint8_t>(c >> 8);
      row[static_cast<size_t>(i) * 4 + 2] = static_cast<uint8_t>(c >> 16);
      row[static_cast<size_t>(i) * 4 + 3] = 255;
    }
    DrawPixels(x, y + j, TPixelView{row.data(), w, 1, w * 4, false});
  }
}

TCanvas::TCanvas()
    : FFont(std::make_unique<TFont>()), FBrush(std::make_unique<TBrush>()), FPen(std::make_unique<TPen>()) {}

TCanvas::~TCanvas() = default;

void TCanvas::SetHandle(TDeviceContext* dc) { FHandle = dc; }

TDeviceContext& TCanvas::RequireHandle() {
  if (!FHandle) throw EInvalidGraphicOperation("Canvas does not allow drawing");
  return *FHandle;
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::FillRect(const TRect& r) {
  TDeviceContext& dc = RequireHandle();
  if (FBrush->Style() != TBrushStyle::bsClear) dc.FillRect(r, ColorToRGB(FBrush->Color()));
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  RequireHandle().FrameRect(r, ColorToRGB(FBrush->Color()));
  Changed();
}

void TCanvas::Rectangle(const TRect& r) {
  RequireHandle().Rectangle(r, ColorToRGB(FPen->Color()), FPen->Style(), ColorToRGB(FBrush->Color()),
                            FBrush->Style());
  Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  TDeviceContext& dc = RequireHandle();
  dc.SetFont(FFont->Data());
  if (FBrush->Style() != TBrushStyle::bsClear) {
    TSize s = dc.TextExtent(text);
    dc.FillRect(Bounds(x, y, s.cx, s.cy), ColorToRGB(FBrush->Color()));
  }
  dc.TextOut(x, y, text, ColorToRGB(FFont->Color()));
  Changed();
}

TSize TCanvas::TextExtent(const std::string& text) {
  TDeviceContext& dc = RequireHandle();
  dc.SetFont(FFont->Data());
  return dc.TextExtent(text);
}

void TCanvas::Draw(int x, int y, const TPixelView& pixels) {
  RequireHandle().DrawPixels(x, y, pixels);
  Changed();
}

namespace {

// Removes accelerator marks from one line: "&x" underlines x, "&&" is one "&", a final "&" stays.
TTextLine StripPrefix(const std::string& s, bool handlePrefix) {
  TTextLine line;
  if (!handlePrefix) {
    line.Text = s;
    return line;
  }
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) {
      ++i;
      if (s[i] != '&') line.Accelerator = static_cast<int>(line.Text.size());
    }
    line.Text += s[i];
  }
  return line;
}

}  // namespace

std::vector<TTextLine> LayoutTextLines(const std::string& text, unsigned flags, int maxWidth,
                                       const std::function<int(const std::string&)>& measure) {
  const bool prefix = (flags & DT_NOPREFIX) == 0;
  std::vector<std::string> paragraphs;
  if (flags & DT_SINGLELINE) {
    std::string one;
    for (char c : text)
      if (c != '\r' && c != '\n') one += c;
    paragraphs.push_back(one);
  } else {
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') {
        paragraphs.push_back(cur);
        cur.clear();
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        cur += text[i];
      }
    }
    paragraphs.push_back(cur);
  }

  std::vector<TTextLine> lines;
  const bool wrap = (flags & DT_WORDBREAK) && !(flags & DT_SINGLELINE);
  for (const std::string& para : paragraphs) {
    if (!wrap) {
      lines.push_back(StripPrefix(para, prefix));
      continue;
    }
    // Greedy word wrap at blanks; a word wider than the line stands alone on its line.
    if (para.empty()) lines.push_back({});
    size_t pos = 0;
    while (pos < para.size()) {
      size_t best = para.find(' ', pos);
      if (best == std::string::npos) best = para.size();
      while (best < para.size()) {
        size_t next = para.find(' ', best + 1);
        if (next == std::string::npos) next = para.size();
        if (measure(StripPrefix(para.substr(pos, next - pos), prefix).Text) > maxWidth) break;
        best = next;
      }
      lines.push_back(StripPrefix(para.substr(pos, best - pos), prefix));
      pos = best;
      while (pos < para.size() && para[pos] == ' ') ++pos;
    }
  }
  return lines;
}

namespace {

// A text that lays out as one line of itself: no line breaks, no accelerator marks to strip and
// no blank to wrap at.
bool PlainSingleLine(const std::string& text, unsigned flags) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  if ((flags & DT_NOPREFIX) == 0 && text.find('&') != std::string::npos) return false;
  if ((flags & DT_WORDBREAK) && !(flags & DT_SINGLELINE) && text.find(' ') != std::string::npos) return false;
  return true;
}

}  // namespace

int DrawTextEx(TDeviceContext& dc, const std::string& text, TRect& rect, unsigned flags, TColor color,
               const TFontData& font) {
  dc.SetFont(font);
  auto measure = [&dc](const std::string& s) { return dc.TextExtent(s).cx; };
  // A caption is mostly one plain line: that is drawn from the text itself, without laying out
  // copies of it on every paint.
  const bool plain = PlainSingleLine(text, flags);
  std::vector<TTextLine> laidOut;
  if (!plain) laidOut = LayoutTextLines(text, flags, rect.Width(), measure);
  const size_t count = plain ? 1 : laidOut.size();
  auto lineText = [&](size_t i) -> const std::string& { return plain ? text : laidOut[i].Text; };
  const int lineHeight = dc.TextExtent("Wg").cy;
  const int total = lineHeight * static_cast<int>(count);

  if (flags & DT_CALCRECT) {
    int widest = 0;
    for (size_t i = 0; i < count; ++i) widest = std::max(widest, measure(lineText(i)));
    rect.Right = rect.Left + widest;
    rect.Bottom = rect.Top + total;
    return total;
  }

  int y = rect.Top;
  if (flags & DT_SINGLELINE) {
    if (flags & DT_VCENTER) y = rect.Top + (rect.Height() - lineHeight) / 2;
    else if (flags & DT_BOTTOM) y = rect.Bottom - lineHeight;
  }
  std::optional<TDCStateScope> clip;
  if ((flags & DT_NOCLIP) == 0) {
    clip.emplace(dc);
    dc.IntersectClipRect(rect);
  }
  for (size_t i = 0; i < count; ++i) {
    const std::string& line = lineText(i);
    const int accelerator = plain ? -1 : laidOut[i].Accelerator;
    const int w = measure(line);
    int x = rect.Left;
    if (flags & DT_CENTER) x = rect.Left + (rect.Width() - w) / 2;
    else if (flags & DT_RIGHT) x = rect.Right - w;
    dc.TextOut(x, y, line, color);
    if (accelerator >= 0 && !(flags & DT_HIDEPREFIX)) {
      // Underline the accelerator character in the text's own colour.
      const int before = measure(line.substr(0, static_cast<size_t>(accelerator)));
      const int width = measure(line.substr(static_cast<size_t>(accelerator), 1));
      const int underline = y + lineHeight - std::max(1, lineHeight / 12) - 1;
      dc.FillRect(Bounds(x + before, underline, width, 1), color);
    }
    y += lineHeight;
  }
  return total;
}
