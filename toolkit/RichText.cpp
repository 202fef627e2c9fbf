#include "toolkit/RichText.h"

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <unordered_map>

#include "platform/CodePages.h"
#include "platform/Utf.h"

std::string TParagraph::Text() const {
  std::string s;
  for (const TTextRun& r : Runs) s += r.Text;
  return s;
}

std::string TRichDocument::Text() const {
  std::string s;
  for (size_t i = 0; i < Paragraphs.size(); ++i) {
    if (i) s += "\r\n";
    s += Paragraphs[i].Text();
  }
  return s;
}

namespace {

using Limits = TRichTextLimits;

// What a control word does. Words the reader does not know are passed over, as the format asks.
enum class TWord : unsigned char {
  Unknown,
  Symbol,       // stands for one character
  SkipDest,     // a destination whose content is not shown
  FontTable, ColorTable,
  Par, Break, Line, Tab, Cell, Row, Hidden,
  Pard, AlignLeft, AlignCenter, AlignRight, AlignJustify,
  Plain, Bold, Italic, Underline, UnderlineNone, Strike,
  FontSize, Font, Color, Highlight,
  UnicodeSkip, Unicode, Bin,
  DefaultFont, CodePage, CharsetAnsi, CharsetMac, CharsetPc, CharsetPca,
  FontCharset, FontCodePage, Red, Green, Blue,
};

struct TWordInfo {
  TWord Kind = TWord::Unknown;
  char32_t Symbol = 0;
};

const std::unordered_map<std::string_view, TWordInfo>& Words() {
  static const std::unordered_map<std::string_view, TWordInfo> words = [] {
    std::unordered_map<std::string_view, TWordInfo> w;
    const std::pair<std::string_view, TWord> kinds[] = {
        {"fonttbl", TWord::FontTable}, {"colortbl", TWord::ColorTable},
        {"par", TWord::Par}, {"sect", TWord::Break}, {"page", TWord::Break}, {"column", TWord::Break},
        {"line", TWord::Line}, {"softline", TWord::Line}, {"lbr", TWord::Line},
        {"tab", TWord::Tab}, {"cell", TWord::Cell}, {"nestcell", TWord::Cell},
        {"row", TWord::Row}, {"nestrow", TWord::Row},
        {"pard", TWord::Pard}, {"ql", TWord::AlignLeft}, {"qc", TWord::AlignCenter},
        {"qr", TWord::AlignRight}, {"qj", TWord::AlignJustify}, {"qd", TWord::AlignJustify},
        {"v", TWord::Hidden}, {"plain", TWord::Plain}, {"b", TWord::Bold}, {"i", TWord::Italic},
        {"ul", TWord::Underline}, {"uld", TWord::Underline}, {"uldb", TWord::Underline},
        {"uldash", TWord::Underline}, {"uldashd", TWord::Underline}, {"uldashdd", TWord::Underline},
        {"ulhwave", TWord::Underline}, {"ulldash", TWord::Underline}, {"ulth", TWord::Underline},
        {"ulthd", TWord::Underline}, {"ulthdash", TWord::Underline}, {"ulw", TWord::Underline},
        {"ulwave", TWord::Underline}, {"ululdbwave", TWord::Underline}, {"ulnone", TWord::UnderlineNone},
        {"strike", TWord::Strike}, {"striked", TWord::Strike},
        {"fs", TWord::FontSize}, {"f", TWord::Font}, {"cf", TWord::Color},
        {"highlight", TWord::Highlight}, {"cb", TWord::Highlight}, {"chcbpat", TWord::Highlight},
        {"uc", TWord::UnicodeSkip}, {"u", TWord::Unicode}, {"bin", TWord::Bin},
        {"deff", TWord::DefaultFont}, {"ansicpg", TWord::CodePage}, {"ansi", TWord::CharsetAnsi},
        {"mac", TWord::CharsetMac}, {"pc", TWord::CharsetPc}, {"pca", TWord::CharsetPca},
        {"fcharset", TWord::FontCharset}, {"cpg", TWord::FontCodePage},
        {"red", TWord::Red}, {"green", TWord::Green}, {"blue", TWord::Blue},
    };
    for (const auto& [name, kind] : kinds) w[name] = {kind, 0};
    const std::pair<std::string_view, char32_t> symbols[] = {
        {"lquote", 0x2018}, {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
        {"endash", 0x2013}, {"emdash", 0x2014}, {"bullet", 0x2022}, {"enspace", 0x2002},
        {"emspace", 0x2003}, {"qmspace", 0x2005}, {"zwj", 0x200D}, {"zwnj", 0x200C},
        {"zwbo", 0x200B}, {"zwnbo", 0xFEFF}, {"ltrmark", 0x200E}, {"rtlmark", 0x200F},
    };
    for (const auto& [name, cp] : symbols) w[name] = {TWord::Symbol, cp};
    // Destinations whose content is no text of the document: tables the panel has no use for,
    // document properties, headers and footers, notes, pictures (not rendered here), objects'
    // data, field instructions (their results are shown) and list numbering definitions.
    const std::string_view skipped[] = {
        "stylesheet", "info", "pict", "shppict", "nonshppict", "shp", "shpinst", "do", "object",
        "objdata", "objclass", "objname", "fldinst", "header", "headerl", "headerr", "headerf",
        "footer", "footerl", "footerr", "footerf", "footnote", "ftnsep", "ftnsepc", "ftncn",
        "aftnsep", "aftnsepc", "aftncn", "annotation", "atnid", "atnauthor", "atndate", "atntime",
        "atnref", "atnicn", "atrfstart", "atrfend", "bkmkstart", "bkmkend", "xe", "tc", "txe", "rxe",
        "listtable", "listoverridetable", "rsidtbl", "revtbl", "filetbl", "generator", "template",
        "userprops", "docvar", "themedata", "colorschememapping", "datastore", "latentstyles",
        "xmlnstbl", "mmathPr", "pgdsctbl", "pn", "pnseclvl", "listpicture", "falt", "panose",
        "fname", "title", "subject", "author", "operator", "keywords", "comment", "doccomm",
        "creatim", "revtim", "printim", "buptim", "private", "background", "fchars", "lchars",
    };
    for (std::string_view name : skipped) w[name] = {TWord::SkipDest, 0};
    return w;
  }();
  return words;
}

// How the text of a group is used.
enum class TDest : unsigned char { Text, Skip, FontTable, ColorTable };

// The state that a group inherits from its parent and that ends with it.
struct TGroupState {
  TDest Dest = TDest::Text;
  TFontStyles Style = 0;
  int Font = -1;  // font number; -1: the document's default font
  int FontSize = 0;
  int Color = 0;      // colour table index
  int Highlight = 0;  // colour table index; 0: none
  int UnicodeSkip = 1;
  bool Hidden = false;
  TAlignment Alignment = TAlignment::taLeftJustify;
  bool Justified = false;
};

struct TFontEntry {
  std::string NameBytes;
  bool NameComplete = false;
  std::string Name;  // NameBytes decoded, once the text needs it
  bool NameDecoded = false;
  unsigned CodePage = 0;  // 0: the document's code page
};

// Turns bytes of a code page into UTF-8. Single-byte pages go through a table built once per
// page, so a document full of escaped bytes does not open a converter for every one of them.
class TByteDecoder {
public:
  std::string Decode(unsigned codePage, std::string_view bytes) {
    if (platform::IsDoubleByteCodePage(codePage) || codePage == 65001)
      return platform::CodePageToUtf8(codePage, bytes);
    const auto& table = Table(codePage);
    std::string out;
    for (unsigned char b : bytes) out += table[b];
    return out;
  }

private:
  const std::array<std::string, 256>& Table(unsigned codePage) {
    auto it = FTables.find(codePage);
    if (it != FTables.end()) return it->second;
    // A hostile file may name any number of pages; a handful of tables is all a real one needs.
    if (FTables.size() >= 16) FTables.clear();
    std::array<std::string, 256>& table = FTables[codePage];
    for (unsigned b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      table[b] = b < 0x80 ? std::string(1, c) : platform::CodePageToUtf8(codePage, std::string_view(&c, 1));
    }
    return table;
  }
  std::map<unsigned, std::array<std::string, 256>> FTables;
};

class TRichTextReader {
public:
  TRichTextReader(std::string_view data, TAlignment alignment) : FData(data), FDefaultAlignment(alignment) {
    FState.Alignment = alignment;
  }

  TRichDocument Read() {
    while (FPos < FData.size() && !FStop) {
      const char c = FData[FPos];
      if (c == '{') {
        ++FPos;
        OpenGroup();
      } else if (c == '}') {
        ++FPos;
        if (CloseGroup()) break;
      } else if (c == '\\') {
        ReadControl();
      } else if (c == '\r' || c == '\n') {
        ++FPos;
      } else {
        ++FPos;
        TextByte(static_cast<unsigned char>(c));
      }
    }
    Finish();
    return std::move(FDocument);
  }

private:
  // --- groups ---

  void OpenGroup() {
    FlushBytes();
    FPendingSkip = 0;
    if (FStack.size() < Limits::GroupDepth) FStack.push_back(FState);
    else ++FOverflowDepth;
  }

  // Answers true when the group closed was the document's outermost one.
  bool CloseGroup() {
    FlushBytes();
    FPendingSkip = 0;
    if (FOverflowDepth > 0) {
      --FOverflowDepth;
      return false;
    }
    if (FStack.size() <= 1) return true;
    if (FState.Dest == TDest::FontTable) FCurrentFont = nullptr;
    FState = FStack.back();
    FStack.pop_back();
    return false;
  }

  // --- control words and symbols ---

  void ReadControl() {
    ++FPos;  // the backslash
    if (FPos >= FData.size()) return;
    const char c = FData[FPos];
    if (!IsLetter(c)) {
      ++FPos;
      ControlSymbol(c);
      return;
    }
    const size_t start = FPos;
    while (FPos < FData.size() && IsLetter(FData[FPos])) ++FPos;
    // The format allows 32 letters; a longer word is read whole and is simply unknown.
    std::string_view word = FData.substr(start, FPos - start);
    if (word.size() > 32) word = {};
    bool hasParam = false;
    long long param = 0;
    bool negative = false;
    if (FPos + 1 < FData.size() && FData[FPos] == '-' && IsDigit(FData[FPos + 1])) {
      negative = true;
      ++FPos;
    }
    while (FPos < FData.size() && IsDigit(FData[FPos])) {
      hasParam = true;
      param = std::min<long long>(param * 10 + (FData[FPos] - '0'), INT_MAX);
      ++FPos;
    }
    if (negative) param = -param;
    if (FPos < FData.size() && FData[FPos] == ' ') ++FPos;
    ControlWord(word, hasParam, static_cast<int>(param));
  }

  void ControlSymbol(char c) {
    if (c == '\'') {
      unsigned value = 0;
      int digits = 0;
      while (digits < 2 && FPos < FData.size() && HexValue(FData[FPos]) >= 0) {
        value = value * 16 + static_cast<unsigned>(HexValue(FData[FPos]));
        ++FPos;
        ++digits;
      }
      if (digits > 0) TextByte(static_cast<unsigned char>(value));
      return;
    }
    if (c == '\\' || c == '{' || c == '}') {
      TextByte(static_cast<unsigned char>(c));
      return;
    }
    FlushBytes();
    if (c == '*') {
      // An ignorable destination: the group's content is of no use to a reader that does not
      // know it, and this one renders none of them.
      FState.Dest = TDest::Skip;
      return;
    }
    if (ConsumeSkip() || FState.Dest != TDest::Text) return;
    switch (c) {
      case '~': EmitCodePoint(0x00A0); break;
      case '-': EmitCodePoint(0x00AD); break;
      case '_': EmitCodePoint(0x2011); break;
      case '\r':
      case '\n': EndParagraph(); break;
      default: break;
    }
  }

  void ControlWord(std::string_view word, bool hasParam, int param) {
    FlushBytes();
    const auto& words = Words();
    const auto it = words.find(word);
    const TWordInfo info = it == words.end() ? TWordInfo{} : it->second;
    if (info.Kind == TWord::Bin) {
      // The payload is raw bytes, whatever they look like; it is never shown.
      const size_t n = hasParam && param > 0 ? static_cast<size_t>(param) : 0;
      FPos += std::min(n, FData.size() - FPos);
      ConsumeSkip();
      return;
    }
    if (info.Kind == TWord::Unicode) {
      // Read even inside a fallback being skipped: a pair of surrogates may be written as two
      // \u words each with its own fallback.
      if (FState.Dest == TDest::Text) Unicode(param);
      FPendingSkip = FState.UnicodeSkip;
      return;
    }
    if (ConsumeSkip()) return;
    if (FState.Dest == TDest::Skip) return;
    switch (info.Kind) {
      case TWord::SkipDest: FState.Dest = TDest::Skip; return;
      case TWord::FontTable: FState.Dest = TDest::FontTable; return;
      case TWord::ColorTable:
        FState.Dest = TDest::ColorTable;
        FColors.clear();
        FColorHasValue = false;
        FCurrentColor = 0;
        return;
      case TWord::CodePage:
        if (param > 0) FDocumentCodePage = static_cast<unsigned>(param);
        return;
      case TWord::CharsetAnsi: FDocumentCodePage = 1252; return;
      case TWord::CharsetMac: FDocumentCodePage = 10000; return;
      case TWord::CharsetPc: FDocumentCodePage = 437; return;
      case TWord::CharsetPca: FDocumentCodePage = 850; return;
      case TWord::DefaultFont: FDefaultFont = param; return;
      case TWord::UnicodeSkip: FState.UnicodeSkip = std::clamp(param, 0, 64); return;
      default: break;
    }
    if (FState.Dest == TDest::FontTable) FontTableWord(info.Kind, param);
    else if (FState.Dest == TDest::ColorTable) ColorTableWord(info.Kind, param);
    else TextWord(info, hasParam, param);
  }

  void FontTableWord(TWord kind, int param) {
    if (kind == TWord::Font) {
      auto it = FFonts.find(param);
      if (it == FFonts.end()) {
        if (FFonts.size() >= Limits::Fonts) {
          FCurrentFont = nullptr;
          return;
        }
        it = FFonts.emplace(param, TFontEntry{}).first;
      }
      FCurrentFont = &it->second;
    } else if (kind == TWord::FontCharset && FCurrentFont) {
      if (const unsigned page = platform::CharsetToCodePage(param)) FCurrentFont->CodePage = page;
      FCurrentFont->NameDecoded = false;
    } else if (kind == TWord::FontCodePage && FCurrentFont && param > 0) {
      FCurrentFont->CodePage = static_cast<unsigned>(param);
      FCurrentFont->NameDecoded = false;
    }
  }

  void ColorTableWord(TWord kind, int param) {
    const int v = std::clamp(param, 0, 255);
    if (kind == TWord::Red) FCurrentColor = (FCurrentColor & 0xFFFF00) | v;
    else if (kind == TWord::Green) FCurrentColor = (FCurrentColor & 0xFF00FF) | (v << 8);
    else if (kind == TWord::Blue) FCurrentColor = (FCurrentColor & 0x00FFFF) | (v << 16);
    else return;
    FColorHasValue = true;
  }

  void TextWord(const TWordInfo& info, bool hasParam, int param) {
    const bool on = !hasParam || param != 0;
    auto setStyle = [&](TFontStyles flag, bool value) {
      FState.Style = value ? (FState.Style | flag) : (FState.Style & ~flag);
    };
    switch (info.Kind) {
      case TWord::Symbol: EmitCodePoint(info.Symbol); break;
      case TWord::Par: EndParagraph(); break;
      case TWord::Break:
        // A section, page or column break ends the paragraph it falls in, but makes no empty one
        // of its own: writers put it after the \par of the last paragraph.
        FlushBytes();
        if (!FParagraph.Runs.empty()) EndParagraph();
        break;
      case TWord::Line: EmitUtf8("\n"); break;
      case TWord::Tab: EmitUtf8("\t"); break;
      case TWord::Cell:
        // The tab goes in only when more text follows in the row, so a row does not end in one.
        FPendingCellTabs = std::min(FPendingCellTabs + 1, 1024);
        break;
      case TWord::Row:
        FPendingCellTabs = 0;
        EndParagraph();
        break;
      case TWord::Pard:
        FState.Alignment = FDefaultAlignment;
        FState.Justified = false;
        break;
      case TWord::AlignLeft: SetAlignment(TAlignment::taLeftJustify, false); break;
      case TWord::AlignCenter: SetAlignment(TAlignment::taCenter, false); break;
      case TWord::AlignRight: SetAlignment(TAlignment::taRightJustify, false); break;
      case TWord::AlignJustify: SetAlignment(TAlignment::taLeftJustify, true); break;
      case TWord::Plain:
        FState.Style = 0;
        FState.Font = -1;
        FState.FontSize = 0;
        FState.Color = 0;
        FState.Highlight = 0;
        FState.Hidden = false;
        break;
      case TWord::Hidden: FState.Hidden = on; break;
      case TWord::Bold: setStyle(fsBold, on); break;
      case TWord::Italic: setStyle(fsItalic, on); break;
      case TWord::Underline: setStyle(fsUnderline, on); break;
      case TWord::UnderlineNone: setStyle(fsUnderline, false); break;
      case TWord::Strike: setStyle(fsStrikeOut, on); break;
      case TWord::FontSize: FState.FontSize = param > 0 ? std::min(param, 2000) : 0; break;
      case TWord::Font: FState.Font = hasParam ? param : -1; break;
      case TWord::Color: FState.Color = param; break;
      case TWord::Highlight: FState.Highlight = param; break;
      default: break;
    }
  }

  void SetAlignment(TAlignment alignment, bool justified) {
    FState.Alignment = alignment;
    FState.Justified = justified;
  }

  // --- text ---

  // Counts one character of the fallback that follows a \u; answers true when it is skipped.
  bool ConsumeSkip() {
    if (FPendingSkip <= 0) return false;
    --FPendingSkip;
    return true;
  }

  void TextByte(unsigned char b) {
    if (ConsumeSkip()) return;
    switch (FState.Dest) {
      case TDest::Skip: return;
      case TDest::FontTable:
        if (!FCurrentFont || FCurrentFont->NameComplete) return;
        if (b == ';') FCurrentFont->NameComplete = true;
        else if (FCurrentFont->NameBytes.size() < 256) FCurrentFont->NameBytes += static_cast<char>(b);
        FCurrentFont->NameDecoded = false;
        return;
      case TDest::ColorTable:
        if (b != ';') return;
        if (FColors.size() < Limits::Colors) FColors.push_back(FColorHasValue ? FCurrentColor : clDefault);
        FColorHasValue = false;
        FCurrentColor = 0;
        return;
      case TDest::Text: break;
    }
    // Control characters are no text of the document; a literal tab is taken as one.
    if ((b < 0x20 && b != '\t') || FState.Hidden) return;
    FlushCellTabs();
    const unsigned page = CurrentCodePage();
    if (!FBytes.empty() && page != FBytesCodePage) FlushBytes();
    FBytesCodePage = page;
    FBytes += static_cast<char>(b);
    // Long stretches of text are converted as they come; a page of several bytes per character
    // waits, since a cut could fall inside one.
    if (FBytes.size() >= 65536 && !platform::IsDoubleByteCodePage(page) && page != 65001) FlushBytes();
  }

  // Text bytes are gathered and converted together, because in a double-byte code page one
  // character may be written as two escapes.
  void FlushBytes() {
    if (FBytes.empty()) return;
    const std::string text = FDecoder.Decode(FBytesCodePage, FBytes);
    FBytes.clear();
    Append(text);
  }

  void Unicode(int value) {
    long long v = value;
    if (v < 0) v += 65536;
    if (v >= 0xD800 && v <= 0xDBFF) {
      if (FHighSurrogate) EmitCodePoint(0xFFFD);
      FHighSurrogate = static_cast<char32_t>(v);
      return;
    }
    if (v >= 0xDC00 && v <= 0xDFFF) {
      if (!FHighSurrogate) {
        EmitCodePoint(0xFFFD);
        return;
      }
      const char32_t cp = 0x10000 + ((FHighSurrogate - 0xD800) << 10) + (static_cast<char32_t>(v) - 0xDC00);
      FHighSurrogate = 0;
      EmitCodePoint(cp);
      return;
    }
    EmitCodePoint(v < 0 || v > 0x10FFFF ? 0xFFFD : static_cast<char32_t>(v));
  }

  void EmitCodePoint(char32_t cp) {
    std::string s;
    platform::AppendUtf8(s, cp);
    EmitUtf8(s);
  }

  void EmitUtf8(const std::string& text) {
    FlushBytes();
    if (FState.Hidden) return;
    FlushCellTabs();
    Append(text);
  }

  void FlushCellTabs() {
    if (FPendingCellTabs <= 0) return;
    const int n = FPendingCellTabs;
    FPendingCellTabs = 0;
    Append(std::string(static_cast<size_t>(n), '\t'));
  }

  // Adds converted text to the paragraph being read, in the format of the moment.
  void Append(const std::string& text) {
    if (FStop) return;
    if (FHighSurrogate) {
      // A high surrogate that no low one followed.
      FHighSurrogate = 0;
      Append("\xEF\xBF\xBD");
    }
    if (text.empty()) return;
    std::string_view piece = text;
    if (FTextBytes + piece.size() > Limits::TextBytes) {
      // Keeps what fits, cut before a character rather than inside one.
      FStop = true;
      size_t keep = Limits::TextBytes - FTextBytes;
      while (keep > 0 && (static_cast<unsigned char>(piece[keep]) & 0xC0) == 0x80) --keep;
      piece = piece.substr(0, keep);
      if (piece.empty()) return;
    }
    TTextRun format = CurrentFormat();
    if (FParagraph.Runs.empty() || !FParagraph.Runs.back().SameFormat(format)) {
      if (FRunCount >= Limits::Runs) {
        FStop = true;
        return;
      }
      ++FRunCount;
      FParagraph.Runs.push_back(std::move(format));
    }
    FParagraph.Runs.back().Text += piece;
    FTextBytes += piece.size();
  }

  void EndParagraph() {
    FlushBytes();
    FPendingCellTabs = 0;
    if (FStop) return;
    if (FDocument.Paragraphs.size() + 1 >= Limits::Paragraphs || FRunCount >= Limits::Runs) {
      FStop = true;
      return;
    }
    // An empty paragraph keeps its format in an empty run: its size sets the line's height.
    if (FParagraph.Runs.empty()) {
      FParagraph.Runs.push_back(CurrentFormat());
      ++FRunCount;
    }
    FParagraph.Alignment = FState.Alignment;
    FParagraph.Justified = FState.Justified;
    FDocument.Paragraphs.push_back(std::move(FParagraph));
    FParagraph = TParagraph{};
  }

  void Finish() {
    FlushBytes();
    if (FHighSurrogate && !FStop) Append("");
    if (FParagraph.Runs.empty()) return;
    FParagraph.Alignment = FState.Alignment;
    FParagraph.Justified = FState.Justified;
    FDocument.Paragraphs.push_back(std::move(FParagraph));
  }

  // --- formats ---

  TFontEntry* FontOf(int number) {
    const int n = number >= 0 ? number : FDefaultFont;
    if (n < 0) return nullptr;
    const auto it = FFonts.find(n);
    return it == FFonts.end() ? nullptr : &it->second;
  }

  unsigned CurrentCodePage() {
    const TFontEntry* font = FontOf(FState.Font);
    return font && font->CodePage ? font->CodePage : FDocumentCodePage;
  }

  TColor TableColor(int index, TColor unset) const {
    if (index < 0 || static_cast<size_t>(index) >= FColors.size()) return unset;
    return FColors[static_cast<size_t>(index)];
  }

  TTextRun CurrentFormat() {
    TTextRun run;
    run.Style = FState.Style;
    run.FontSize = FState.FontSize;
    run.Color = TableColor(FState.Color, clDefault);
    run.Highlight = FState.Highlight > 0 ? TableColor(FState.Highlight, clNone) : clNone;
    if (run.Highlight == clDefault) run.Highlight = clNone;
    if (TFontEntry* font = FontOf(FState.Font)) run.FontName = FontName(*font);
    return run;
  }

  const std::string& FontName(TFontEntry& font) {
    if (!font.NameDecoded) {
      std::string_view bytes = font.NameBytes;
      while (!bytes.empty() && bytes.front() == ' ') bytes.remove_prefix(1);
      while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
      font.Name = FDecoder.Decode(font.CodePage ? font.CodePage : FDocumentCodePage, bytes);
      font.NameDecoded = true;
    }
    return font.Name;
  }

  static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  std::string_view FData;
  TAlignment FDefaultAlignment;
  size_t FPos = 0;
  bool FStop = false;

  TGroupState FState;
  std::vector<TGroupState> FStack;
  size_t FOverflowDepth = 0;
  int FPendingSkip = 0;

  unsigned FDocumentCodePage = 1252;
  int FDefaultFont = -1;
  std::map<int, TFontEntry> FFonts;
  TFontEntry* FCurrentFont = nullptr;
  std::vector<TColor> FColors;
  TColor FCurrentColor = 0;
  bool FColorHasValue = false;

  TByteDecoder FDecoder;
  std::string FBytes;
  unsigned FBytesCodePage = 1252;
  char32_t FHighSurrogate = 0;
  int FPendingCellTabs = 0;

  TRichDocument FDocument;
  TParagraph FParagraph;
  size_t FTextBytes = 0;
  size_t FRunCount = 0;
};

}  // namespace

bool ParseRichText(std::string_view data, TRichDocument& document, TAlignment defaultAlignment) {
  if (!data.starts_with("{\\rtf")) return false;
  document = TRichTextReader(data, defaultAlignment).Read();
  return true;
}
