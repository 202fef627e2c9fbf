#include "toolkit/win32/Win32RichEdit.h"

#include "toolkit/win32/Win32DeviceContext.h"
#include "toolkit/win32/Win32Windows.h"

#include "platform/win32/WideText.h"

namespace win32 {

namespace {

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
    const DWORD placement = parent ? WS_CHILD | WS_CLIPSIBLINGS : WS_POPUP;
    const HWND window = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                          placement | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0, 0, 0, parent,
                                          nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    AdoptNativeWindow(window);
    return true;
  }

  void SetBackgroundColor(TColor rgb) override {
    if (FBrush && rgb == FBackground) return;
    if (FBrush) ::DeleteObject(FBrush);
    FBackground = rgb;
    FBrush = ::CreateSolidBrush(static_cast<COLORREF>(rgb) & 0xFFFFFFu);
    if (FWindow) ::InvalidateRect(FWindow, nullptr, TRUE);
  }
  void SetDocument(const TRichDocument& document, const TFontData& font, TColor textColor) override {
    if (!FWindow) return;
    FTextColor = textColor;
    if (HFONT gdi = Win32Font(font)) ::SendMessageW(FWindow, WM_SETFONT, reinterpret_cast<WPARAM>(gdi), FALSE);
    ::SetWindowTextW(FWindow, EditText(document).c_str());
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
    // A bar that is asked for stays, also while the text fits.
    const bool vertical = scrollBars == TScrollStyle::ssVertical || scrollBars == TScrollStyle::ssBoth;
    const bool horizontal = scrollBars == TScrollStyle::ssHorizontal || scrollBars == TScrollStyle::ssBoth;
    ::ShowScrollBar(FWindow, SB_VERT, vertical ? TRUE : FALSE);
    ::ShowScrollBar(FWindow, SB_HORZ, horizontal ? TRUE : FALSE);
  }

protected:
  HBRUSH ControlColor(HDC dc) override {
    ::SetTextColor(dc, static_cast<COLORREF>(FTextColor) & 0xFFFFFFu);
    ::SetBkColor(dc, static_cast<COLORREF>(FBackground) & 0xFFFFFFu);
    return FBrush;
  }

private:
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
