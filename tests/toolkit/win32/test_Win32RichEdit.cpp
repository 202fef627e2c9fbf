// The notes panel on the system's rich edit: what the control holds, read back from it, against
// the document the panel was given.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/TempDir.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"

#include "platform/Utf.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace {

HWND WindowOf(TWinControl* control) { return reinterpret_cast<HWND>(control->Handle()); }

bool RunningOnWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// The windows are never shown: what the control holds does not depend on it, and the desktop
// stays with the test programs that need the pointer and the focus.
class Win32RichEdit : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetClientSize(300, 200);
    Notes = new TRichEdit(Form.get());
    Notes->SetParent(Form.get());
    Notes->SetBounds(6, 6, 260, 120);
    Notes->Font()->SetName("Tahoma");
    Notes->Font()->SetHeight(-13);
    Notes->Font()->SetColor(clNavy);
    ASSERT_TRUE(WindowOf(Notes));
  }
  void TearDown() override {
    Form.reset();
    Backend().ProcessMessages();
  }
  std::wstring ClassOfNotes() {
    wchar_t name[64] = {};
    ::GetClassNameW(WindowOf(Notes), name, 64);
    return name;
  }
  std::unique_ptr<TForm> Form;
  TRichEdit* Notes = nullptr;
};

CHARFORMAT2W FormatOf(HWND window, LONG start, LONG end) {
  CHARRANGE range{start, end};
  ::SendMessageW(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  ::SendMessageW(window, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

WORD AlignmentAt(HWND window, LONG position) {
  CHARRANGE range{position, position};
  ::SendMessageW(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  PARAFORMAT2 format{};
  format.cbSize = sizeof format;
  ::SendMessageW(window, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
  return format.wAlignment;
}

WORD ExpectedAlignment(const TParagraph& p) {
  // Wine's control takes justified paragraphs for left-aligned ones.
  if (p.Justified) return RunningOnWine() ? PFA_LEFT : PFA_JUSTIFY;
  if (p.Alignment == TAlignment::taCenter) return PFA_CENTER;
  if (p.Alignment == TAlignment::taRightJustify) return PFA_RIGHT;
  return PFA_LEFT;
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Compares the control with the document run by run: text, character format and paragraph
// alignment, with the panel's font and colour where a run sets none. Positions count UTF-16 units,
// one for a paragraph's end and one for a line break.
void ExpectShows(HWND window, const TRichDocument& document, const TFontData& panelFont, TColor panelColor) {
  std::wstring expectedText;
  LONG position = 0;
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  for (size_t i = 0; i < document.Paragraphs.size(); ++i) {
    const TParagraph& paragraph = document.Paragraphs[i];
    SCOPED_TRACE("paragraph " + std::to_string(i) + ": " + paragraph.Text());
    if (i) expectedText += L"\r\n";
    EXPECT_EQ(AlignmentAt(window, position), ExpectedAlignment(paragraph));
    for (const TTextRun& run : paragraph.Runs) {
      const std::u16string units = platform::Utf8ToUtf16(run.Text);
      for (size_t k = 0; k < units.size(); ++k) {
        if (units[k] != u'\n') {
          expectedText += static_cast<wchar_t>(units[k]);
          continue;
        }
        // Windows keeps a line break inside a paragraph as a vertical tab, Wine hands it out as a
        // space; on both the text goes on on the next line.
        expectedText += RunningOnWine() ? L' ' : L'\v';
        const LONG at = position + static_cast<LONG>(k);
        EXPECT_GT(::SendMessageW(window, EM_EXLINEFROMCHAR, 0, at + 1), ::SendMessageW(window, EM_EXLINEFROMCHAR, 0, at - 1));
      }
      const LONG end = position + static_cast<LONG>(units.size());
      if (units.empty()) continue;
      SCOPED_TRACE("run \"" + run.Text + "\"");
      const CHARFORMAT2W f = FormatOf(window, position, end);
      const DWORD same = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_FACE | CFM_SIZE | CFM_COLOR | CFM_BACKCOLOR;
      EXPECT_EQ(f.dwMask & same, same) << "one format over the whole run";
      EXPECT_EQ((f.dwEffects & CFE_BOLD) != 0, (run.Style & fsBold) != 0);
      EXPECT_EQ((f.dwEffects & CFE_ITALIC) != 0, (run.Style & fsItalic) != 0);
      EXPECT_EQ((f.dwEffects & CFE_UNDERLINE) != 0, (run.Style & fsUnderline) != 0);
      EXPECT_EQ(win32::Narrow(f.szFaceName), run.FontName.empty() ? panelFont.Name : run.FontName);
      if (run.FontSize) EXPECT_EQ(f.yHeight, run.FontSize * 10) << "twips";
      else EXPECT_EQ(MulDiv(f.yHeight, dpi, 1440), -panelFont.Height) << "the panel's height in pixels";
      EXPECT_EQ(f.dwEffects & CFE_AUTOCOLOR, 0u);
      EXPECT_EQ(f.crTextColor, (run.Color == clDefault ? panelColor : ColorToRGB(run.Color)) & 0xFFFFFF);
      if (run.Highlight == clNone) {
        EXPECT_NE(f.dwEffects & CFE_AUTOBACKCOLOR, 0u);
      } else {
        EXPECT_EQ(f.dwEffects & CFE_AUTOBACKCOLOR, 0u);
        EXPECT_EQ(f.crBackColor, ColorToRGB(run.Highlight) & 0xFFFFFF);
      }
      position = end;
    }
    ++position;
  }
  EXPECT_EQ(WindowText(window), expectedText);
}

TEST_F(Win32RichEdit, RichAndPlainFilesShowWithTheirOwnFormatAndThePanelsWhereTheySetNone) {
  TempDir dir;
  const std::string rich = dir.Write(
      "notes.rtf",
      "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fnil\\fcharset204 Arial;}{\\f1\\fnil Courier New;}}\n"
      "{\\colortbl ;\\red0\\green0\\blue128;\\red255\\green255\\blue0;\\red200\\green10\\blue20;}\n"
      "\\pard\\qc\\cf1\\b\\f0\\fs28 \\'c3\\'eb\\'e0\\'e2\\'ed\\'fb\\'e9 \\'f4\\'e8\\'eb\\'fc\\'ec\\cf0\\b0\\par\n"
      "\\pard\\qr\\fs20\\ul underlined\\ulnone  and \\i italic\\i0  \\highlight2 marked\\highlight0  "
      "\\cf3 red \\{\\} \\'ab1.0\\'bb\\cf0\\par\n"
      "\\pard\\qj\\f1\\fs18 justified text\\line after a break\\par\n"
      "\\pard\\par\n"
      "\\pard\\ql\\f0\\fs24\\strike last\\strike0\n}");
  const std::string plain = dir.Write("notes.txt", "First line\r\n\r\nThird \xC3\xA9 line\r\n");
  for (const std::string& file : {rich, plain}) {
    SCOPED_TRACE(file);
    Notes->LoadFromFile(file);
    ASSERT_GE(Notes->Document().Paragraphs.size(), 3u);
    ExpectShows(WindowOf(Notes), Notes->Document(), Notes->Font()->Data(), ColorToRGB(clNavy));
  }
  EXPECT_EQ(_wcsicmp(ClassOfNotes().c_str(), L"RICHEDIT50W"), 0) << "the system's rich edit";
  // The reader's work, seen in the control: the code page's letters and the centred title.
  Notes->LoadFromFile(rich);
  EXPECT_EQ(win32::Narrow(WindowText(WindowOf(Notes))).substr(0, 15), "\xD0\x93\xD0\xBB\xD0\xB0\xD0\xB2\xD0\xBD\xD1\x8B\xD0\xB9 ");
  EXPECT_EQ(AlignmentAt(WindowOf(Notes), 0), PFA_CENTER);
}

TEST_F(Win32RichEdit, ScrollBarsStayAsAskedAndTheBackgroundIsThePanelsColour) {
  const HWND window = WindowOf(Notes);
  const struct {
    TScrollStyle Style;
    bool Vertical, Horizontal;
  } cases[] = {
      {TScrollStyle::ssVertical, true, false},
      {TScrollStyle::ssHorizontal, false, true},
      {TScrollStyle::ssBoth, true, true},
      {TScrollStyle::ssNone, false, false},
  };
  for (const char* text : {static_cast<const char*>("one short line"), static_cast<const char*>(nullptr)}) {
    Notes->Clear();
    if (text) Notes->AddLine(text);
    else
      for (int i = 0; i < 40; ++i) Notes->AddLine("a line of a text that is longer than the panel is high " + std::to_string(i));
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(text ? "short text, " : "long text, ") + "scroll style " + std::to_string(static_cast<int>(c.Style)));
      Notes->SetScrollBars(c.Style);
      Backend().ProcessMessages();
      const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
      EXPECT_EQ((style & WS_VSCROLL) != 0, c.Vertical);
      EXPECT_EQ((style & WS_HSCROLL) != 0, c.Horizontal);
    }
  }
  Notes->SetColor(clBtnFace);
  // The control answers the colour it had when given a new one.
  const auto shown = static_cast<COLORREF>(::SendMessageW(window, EM_SETBKGNDCOLOR, 0, 0x123456));
  EXPECT_EQ(shown, ColorToRGB(clBtnFace) & 0xFFFFFF);
}

TEST_F(Win32RichEdit, ALongDocumentArrivesWholeAndTheCaretGoesWhereAskedWithTheTopInView) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i) + " of the notes, \xC3\xA9t\xC3\xA9\r\n";
  Notes->LoadFromFile(dir.Write("long.txt", text));
  const HWND window = WindowOf(Notes);
  GETTEXTLENGTHEX how{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const auto length = ::SendMessageW(window, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0);
  // Far beyond the control's default limit; one unit for each paragraph's end but the last.
  const size_t paragraphs = Notes->Document().Paragraphs.size();
  ASSERT_EQ(paragraphs, 3000u);
  EXPECT_EQ(static_cast<size_t>(length), platform::Utf8ToUtf16(Notes->Document().Text()).size() - (paragraphs - 1));
  Notes->SetSelStart(12);
  CHARRANGE range{};
  ::SendMessageW(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.cpMin, 12);
  EXPECT_EQ(range.cpMax, 12);
  EXPECT_EQ(::SendMessageW(window, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

}  // namespace
