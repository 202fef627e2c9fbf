#include "toolkit/win32/Win32RichEdit.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "toolkit/win32/Win32DeviceContext.h"
#include "toolkit/win32/Win32Windows.h"

#include "platform/Utf.h"
#include "platform/win32/WideText.h"

namespace win32 {

namespace {

// The rich-edit library, loaded once for the life of the process: its window class must outlive
// every panel. false when the system has none.
bool RichEditAvailable() {
  static const bool loaded = ::LoadLibraryW(L"msftedit.dll") != nullptr;
  return loaded;
}

// The panel's character height in pixels (the cell height less its internal leading, for a font
// given by its cell) and the screen's resolution, from which the control's sizes are made.
struct TPanelSize {
  int Pixels = 11;
  int Dpi = 96;
  int HalfPoints() const { return std::max(1, (Pixels * 144 + Dpi / 2) / Dpi); }
  int Twips() const { return std::max(1, (Pixels * 1440 + Dpi / 2) / Dpi); }
};

TPanelSize PanelSize(const TFontData& font) {
  TPanelSize size;
  const HDC screen = ::GetDC(nullptr);
  if (!screen) return size;
  size.Dpi = std::max(1, ::GetDeviceCaps(screen, LOGPIXELSY));
  size.Pixels = font.Height < 0 ? -font.Height : font.Height;
  if (font.Height > 0)
    if (HFONT gdi = Win32Font(font)) {
      const HGDIOBJ old = ::SelectObject(screen, gdi);
      TEXTMETRICW metrics{};
      if (::GetTextMetricsW(screen, &metrics)) size.Pixels = metrics.tmHeight - metrics.tmInternalLeading;
      ::SelectObject(screen, old);
    }
  ::ReleaseDC(nullptr, screen);
  if (size.Pixels <= 0) size.Pixels = 11;
  return size;
}

// ---- The document as rich text -------------------------------------------------------------
//
// The control reads a document of many formats from one stream of rich text that we write: one
// message, where formatting run after run through selections would search the text for each run.

class TRichTextWriter {
public:
  TRichTextWriter(const TFontData& font, int halfPoints, TColor textColor)
      : FPanelFont(font), FPanelHalfPoints(halfPoints), FPanelColor(textColor) {
    FFonts.push_back(font.Name);
    FFontIndex.emplace(font.Name, 0);
  }

  std::string Write(const TRichDocument& document) {
    std::string body;
    for (size_t i = 0; i < document.Paragraphs.size(); ++i) {
      const TParagraph& paragraph = document.Paragraphs[i];
      // No mark after the last paragraph: the control ends its text with one of its own.
      if (i) body += "\\par\n";
      body += "\\pard";
      body += AlignmentWord(paragraph);
      if (paragraph.Runs.empty()) {
        // The paragraph mark still takes the panel's font, and so the height of its line.
        AppendFormat(body, TTextRun());
        body += ' ';
      }
      for (const TTextRun& run : paragraph.Runs) {
        AppendFormat(body, run);
        body += ' ';
        AppendText(body, run.Text);
      }
    }
    std::string rtf = "{\\rtf1\\ansi\\deff0\\uc1{\\fonttbl";
    for (size_t i = 0; i < FFonts.size(); ++i) {
      // The panel's own font keeps its character set; the document's faces take the default.
      rtf += "{\\f" + std::to_string(i) + "\\fnil\\fcharset" + std::to_string(i == 0 ? FPanelFont.Charset : 1) + ' ';
      AppendText(rtf, FFonts[i], TTextKind::FontName);
      rtf += ";}";
    }
    rtf += "}{\\colortbl;";
    char entry[48];
    for (TColor rgb : FColors) {
      std::snprintf(entry, sizeof entry, "\\red%u\\green%u\\blue%u;", static_cast<unsigned>(rgb & 0xFF),
                    static_cast<unsigned>((rgb >> 8) & 0xFF), static_cast<unsigned>((rgb >> 16) & 0xFF));
      rtf += entry;
    }
    rtf += "}\n";
    rtf += body;
    rtf += "}";
    return rtf;
  }

private:
  enum class TTextKind { Body, FontName };

  static const char* AlignmentWord(const TParagraph& paragraph) {
    if (paragraph.Justified) return "\\qj";
    switch (paragraph.Alignment) {
      case TAlignment::taCenter: return "\\qc";
      case TAlignment::taRightJustify: return "\\qr";
      default: return "\\ql";
    }
  }

  // Every run states its whole format: what the reader would take for an unset field is its own
  // default, not the panel's.
  void AppendFormat(std::string& out, const TTextRun& run) {
    out += "\\plain\\f";
    out += std::to_string(FontIndex(run.FontName.empty() ? FPanelFont.Name : run.FontName));
    out += "\\fs";
    out += std::to_string(run.FontSize > 0 ? run.FontSize : FPanelHalfPoints);
    out += "\\cf";
    out += std::to_string(ColorIndex(run.Color == clDefault ? FPanelColor : ColorToRGB(run.Color)));
    if (run.Highlight != clNone) {
      out += "\\highlight";
      out += std::to_string(ColorIndex(ColorToRGB(run.Highlight)));
    }
    if (run.Style & fsBold) out += "\\b";
    if (run.Style & fsItalic) out += "\\i";
    if (run.Style & fsUnderline) out += "\\ul";
    if (run.Style & fsStrikeOut) out += "\\strike";
  }

  static void AppendText(std::string& out, std::string_view utf8, TTextKind kind = TTextKind::Body) {
    const std::u16string units = platform::Utf8ToUtf16(utf8);
    for (char16_t c : units) {
      if (c == '\\' || c == '{' || c == '}') {
        out += '\\';
        out += static_cast<char>(c);
      } else if (c >= 0x20 && c < 0x7F) {
        // A semicolon would end a face name in the font table.
        if (kind == TTextKind::Body || c != ';') out += static_cast<char>(c);
      } else if (kind == TTextKind::FontName) {
        if (c >= 0x80) AppendUnicode(out, c);
      } else if (c == '\t') {
        out += "\\tab ";
      } else if (c == '\n') {
        // A line break inside the paragraph.
        out += "\\line ";
      } else if (c >= 0x80) {
        AppendUnicode(out, c);
      }
      // Other control characters have no place in the panel.
    }
  }

  // One UTF-16 unit as the reader's Unicode escape: a signed 16-bit number and one substitute
  // character that a reader without Unicode shows instead.
  static void AppendUnicode(std::string& out, char16_t unit) {
    out += "\\u";
    out += std::to_string(static_cast<int16_t>(unit));
    out += '?';
  }

  int FontIndex(const std::string& name) {
    const auto [it, added] = FFontIndex.emplace(name, static_cast<int>(FFonts.size()));
    if (added) FFonts.push_back(name);
    return it->second;
  }

  // Colour table entries count from 1; entry 0 is the system's automatic colour, which is not the
  // panel's and so is never used.
  int ColorIndex(TColor rgb) {
    rgb &= 0xFFFFFF;
    const auto [it, added] = FColorIndex.emplace(rgb, static_cast<int>(FColors.size()) + 1);
    if (added) FColors.push_back(rgb);
    return it->second;
  }

  const TFontData& FPanelFont;
  int FPanelHalfPoints;
  TColor FPanelColor;
  std::vector<std::string> FFonts;
  std::unordered_map<std::string, int> FFontIndex;
  std::vector<TColor> FColors;
  std::unordered_map<TColor, int> FColorIndex;
};

struct TStreamSource {
  const std::string* Text;
  size_t Offset;
};

DWORD CALLBACK ReadRichText(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
  auto* source = reinterpret_cast<TStreamSource*>(cookie);
  const size_t count = std::min(static_cast<size_t>(std::max<LONG>(size, 0)), source->Text->size() - source->Offset);
  std::copy_n(source->Text->data() + source->Offset, count, buffer);
  source->Offset += count;
  *done = static_cast<LONG>(count);
  return 0;
}

// ---- A document in one format --------------------------------------------------------------
//
// Plain text files and the lines the program adds are in one format throughout. They go to the
// control as text with that format laid over all of it: on Wine the rich-text reader's time grows
// with the square of the paragraphs, so a long plain file would take minutes there.

bool IsUniform(const TRichDocument& document) {
  const TTextRun* format = nullptr;
  const TParagraph* layout = nullptr;
  for (const TParagraph& paragraph : document.Paragraphs) {
    if (layout && (paragraph.Alignment != layout->Alignment || paragraph.Justified != layout->Justified)) return false;
    layout = &paragraph;
    for (const TTextRun& run : paragraph.Runs) {
      if (format && !run.SameFormat(*format)) return false;
      if (run.Text.find('\n') != std::string::npos) return false;
      format = &run;
    }
  }
  return true;
}

std::wstring UniformText(const TRichDocument& document) {
  std::string text;
  for (size_t i = 0; i < document.Paragraphs.size(); ++i) {
    if (i) text += '\r';
    for (const TTextRun& run : document.Paragraphs[i].Runs) text += run.Text;
  }
  return Wide(text);
}

WORD ParagraphAlignment(const TParagraph& paragraph) {
  if (paragraph.Justified) return PFA_JUSTIFY;
  switch (paragraph.Alignment) {
    case TAlignment::taCenter: return PFA_CENTER;
    case TAlignment::taRightJustify: return PFA_RIGHT;
    default: return PFA_LEFT;
  }
}

CHARFORMAT2W CharacterFormat(const TTextRun& run, const TFontData& font, const TPanelSize& size, TColor textColor) {
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_FACE | CFM_SIZE | CFM_COLOR | CFM_BACKCOLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE |
                  CFM_STRIKEOUT | CFM_CHARSET;
  if (run.Style & fsBold) format.dwEffects |= CFE_BOLD;
  if (run.Style & fsItalic) format.dwEffects |= CFE_ITALIC;
  if (run.Style & fsUnderline) format.dwEffects |= CFE_UNDERLINE;
  if (run.Style & fsStrikeOut) format.dwEffects |= CFE_STRIKEOUT;
  format.yHeight = run.FontSize > 0 ? run.FontSize * 10 : size.Twips();
  format.crTextColor = static_cast<COLORREF>(run.Color == clDefault ? textColor : ColorToRGB(run.Color)) & 0xFFFFFFu;
  if (run.Highlight == clNone) format.dwEffects |= CFE_AUTOBACKCOLOR;
  else format.crBackColor = static_cast<COLORREF>(ColorToRGB(run.Highlight)) & 0xFFFFFFu;
  format.bCharSet = static_cast<BYTE>(run.FontName.empty() ? font.Charset : 1);
  const std::wstring face = Wide(run.FontName.empty() ? font.Name : run.FontName).substr(0, LF_FACESIZE - 1);
  std::copy(face.begin(), face.end(), format.szFaceName);
  return format;
}

// ---- The plain edit control, where there is no rich edit ---------------------------------------

// The document's text with the edit control's line breaks: CR LF between paragraphs and for the
// line breaks inside them.
std::wstring EditText(const TRichDocument& document) {
  std::string text;
  for (size_t i = 0; i < document.Paragraphs.size(); ++i) {
    if (i) text += "\r\n";
    for (const TTextRun& run : document.Paragraphs[i].Runs)
      for (char c : run.Text) {
        if (c == '\n') text += "\r\n";
        else text += c;
      }
  }
  return Wide(text);
}

class TRichEditPeer : public TWindowPeer<IRichEditPeer> {
public:
  explicit TRichEditPeer(TRichEdit* control) : TWindowPeer<IRichEditPeer>(control) {}
  ~TRichEditPeer() override {
    // The window goes after this part of the peer: it finds no brush to paint with meanwhile.
    HBRUSH brush = FBrush;
    FBrush = nullptr;
    if (brush) ::DeleteObject(brush);
  }

  bool Create(HWND parent) {
    FRich = RichEditAvailable();
    const DWORD placement = parent ? WS_CHILD | WS_CLIPSIBLINGS : WS_POPUP;
    // Both bars are there from the start, so that the control keeps them up to date; those not
    // asked for are hidden at once. With ES_DISABLENOSCROLL a bar stays while the text fits.
    const DWORD style = FRich ? ES_MULTILINE | ES_READONLY | ES_DISABLENOSCROLL | WS_VSCROLL | WS_HSCROLL
                              : ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
    const HWND window = ::CreateWindowExW(WS_EX_CLIENTEDGE, FRich ? L"RICHEDIT50W" : L"EDIT", L"", placement | style,
                                          0, 0, 0, 0, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    AdoptNativeWindow(window);
    if (FRich) {
      // The default limit is 32767 characters; the reader's documents are bounded already.
      ::SendMessageW(window, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
      ::SendMessageW(window, EM_SETUNDOLIMIT, 0, 0);
      // Lines wrap at the window's edge, also with a horizontal bar (which turns wrapping off).
      ::SendMessageW(window, EM_SETTARGETDEVICE, 0, 0);
      // Without it the control keeps justified paragraphs flush left.
      ::SendMessageW(window, EM_SETTYPOGRAPHYOPTIONS, TO_ADVANCEDTYPOGRAPHY, TO_ADVANCEDTYPOGRAPHY);
      ShowBars(TScrollStyle::ssNone);
    }
    return true;
  }

  void SetBackgroundColor(TColor rgb) override {
    if (FRich) {
      if (FWindow) ::SendMessageW(FWindow, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(rgb & 0xFFFFFFu));
      return;
    }
    if (FBrush && rgb == FBackground) return;
    if (FBrush) ::DeleteObject(FBrush);
    FBackground = rgb;
    FBrush = ::CreateSolidBrush(static_cast<COLORREF>(rgb) & 0xFFFFFFu);
    if (FWindow) ::InvalidateRect(FWindow, nullptr, TRUE);
  }
  void SetDocument(const TRichDocument& document, const TFontData& font, TColor textColor) override {
    if (!FWindow) return;
    if (!FRich) {
      FTextColor = textColor;
      if (HFONT gdi = Win32Font(font)) ::SendMessageW(FWindow, WM_SETFONT, reinterpret_cast<WPARAM>(gdi), FALSE);
      ::SetWindowTextW(FWindow, EditText(document).c_str());
      return;
    }
    const TPanelSize size = PanelSize(font);
    if (IsUniform(document)) {
      const std::wstring text = UniformText(document);
      SETTEXTEX how{ST_DEFAULT, 1200};  // UTF-16
      ::SendMessageW(FWindow, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(text.c_str()));
      const TTextRun plain;
      const TParagraph* first = document.Paragraphs.empty() ? nullptr : &document.Paragraphs.front();
      const TTextRun& run = first && !first->Runs.empty() ? first->Runs.front() : plain;
      CHARFORMAT2W format = CharacterFormat(run, font, size, textColor);
      ::SendMessageW(FWindow, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
      PARAFORMAT2 layout{};
      layout.cbSize = sizeof layout;
      layout.dwMask = PFM_ALIGNMENT;
      layout.wAlignment = first ? ParagraphAlignment(*first) : PFA_LEFT;
      ::SendMessageW(FWindow, EM_SETSEL, 0, -1);
      ::SendMessageW(FWindow, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&layout));
      ShowBars(FBars);
      return;
    }
    const std::string rtf = TRichTextWriter(font, size.HalfPoints(), textColor).Write(document);
    TStreamSource source{&rtf, 0};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadRichText;
    ::SendMessageW(FWindow, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    ShowBars(FBars);
  }
  void SetCaret(int position) override {
    if (!FWindow) return;
    ::SendMessageW(FWindow, EM_SETSEL, static_cast<WPARAM>(position), static_cast<LPARAM>(position));
    ::SendMessageW(FWindow, WM_VSCROLL, SB_TOP, 0);
  }
  void SetReadOnly(bool readOnly) override {
    if (FWindow) ::SendMessageW(FWindow, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
  }
  void SetScrollBars(TScrollStyle scrollBars) override {
    if (!FWindow) return;
    if (FRich) {
      ShowBars(scrollBars);
      return;
    }
    const bool vertical = scrollBars == TScrollStyle::ssVertical || scrollBars == TScrollStyle::ssBoth;
    const bool horizontal = scrollBars == TScrollStyle::ssHorizontal || scrollBars == TScrollStyle::ssBoth;
    ::ShowScrollBar(FWindow, SB_VERT, vertical ? TRUE : FALSE);
    ::ShowScrollBar(FWindow, SB_HORZ, horizontal ? TRUE : FALSE);
  }

protected:
  // Asked by the parent for the plain edit control only: the rich edit paints its own background
  // and takes its colours from the document.
  HBRUSH ControlColor(HDC dc) override {
    if (FRich) return nullptr;
    ::SetTextColor(dc, static_cast<COLORREF>(FTextColor) & 0xFFFFFFu);
    ::SetBkColor(dc, static_cast<COLORREF>(FBackground) & 0xFFFFFFu);
    return FBrush;
  }

private:
  void ShowBars(TScrollStyle scrollBars) {
    FBars = scrollBars;
    const bool vertical = scrollBars == TScrollStyle::ssVertical || scrollBars == TScrollStyle::ssBoth;
    const bool horizontal = scrollBars == TScrollStyle::ssHorizontal || scrollBars == TScrollStyle::ssBoth;
    ::SendMessageW(FWindow, EM_SHOWSCROLLBAR, SB_VERT, vertical ? TRUE : FALSE);
    ::SendMessageW(FWindow, EM_SHOWSCROLLBAR, SB_HORZ, horizontal ? TRUE : FALSE);
    // Windows keeps a bar shown this way, disabled while the text fits (ES_DISABLENOSCROLL),
    // and hidden while it is not asked for. Wine shows an asked-for bar only while the text needs
    // it, and brings back one it was told to hide when new text is laid out; set directly, after
    // every new document too, the bars are as asked on both, and the control goes on keeping
    // their ranges.
    ::ShowScrollBar(FWindow, SB_VERT, vertical ? TRUE : FALSE);
    ::ShowScrollBar(FWindow, SB_HORZ, horizontal ? TRUE : FALSE);
  }

  bool FRich = false;
  TScrollStyle FBars = TScrollStyle::ssNone;
  HBRUSH FBrush = nullptr;
  TColor FBackground = clWhite;
  TColor FTextColor = clBlack;
};

}  // namespace

std::unique_ptr<IWindowPeer> CreateRichEditPeer(TRichEdit* control, IWindowPeer* parent) {
  auto peer = std::make_unique<TRichEditPeer>(control);
  if (!peer->Create(parent ? static_cast<HWND>(parent->NativeWidget()) : nullptr)) return nullptr;
  return peer;
}

}  // namespace win32
