#include "toolkit/ComCtrls.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/FileReading.h"
#include "platform/Paths.h"
#include "platform/TextDecoding.h"

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

TRichEdit::TRichEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 185, 89);
  SetColor(clWindow);
}

std::unique_ptr<IWindowPeer> TRichEdit::CreatePeer(IWindowPeer* parentPeer) {
  return Backend().CreateWindowPeer(this, parentPeer);
}

void TRichEdit::CreateHandle() {
  TWinControl::CreateHandle();
  if (auto* p = dynamic_cast<IRichEditPeer*>(Peer())) p->SetReadOnly(FReadOnly);
  Publish();
}

void TRichEdit::Publish() {
  if (auto* p = dynamic_cast<IRichEditPeer*>(Peer())) {
    p->SetDocument(FDocument, Font()->Data(), ColorToRGB(Font()->Color()));
    p->SetCaret(FSelStart);
  }
}

void TRichEdit::CMFontChanged(TMessage& message) {
  TWinControl::CMFontChanged(message);
  Publish();
}

void TRichEdit::Clear() {
  FDocument.Paragraphs.clear();
  FSelStart = 0;
  Publish();
}

void TRichEdit::AddLine(const std::string& text) {
  TParagraph p;
  p.Alignment = FAlignment;
  p.Runs.push_back({text, FStyle});
  FDocument.Paragraphs.push_back(p);
  Publish();
}

void TRichEdit::SetParagraphAlignment(TAlignment alignment) { FAlignment = alignment; }

void TRichEdit::SetReadOnly(bool v) {
  FReadOnly = v;
  if (auto* p = dynamic_cast<IRichEditPeer*>(Peer())) p->SetReadOnly(v);
}

void TRichEdit::SetSelStart(int position) {
  FSelStart = std::max(0, position);
  if (auto* p = dynamic_cast<IRichEditPeer*>(Peer())) p->SetCaret(FSelStart);
}

void TRichEdit::LoadFromFile(const std::string& fileName) {
  // Only a regular file is read, and only up to a size a notes panel can sensibly show.
  constexpr std::uint64_t kLimit = std::uint64_t{64} << 20;
  std::optional<std::string> content;
  if (!fileName.empty()) content = platform::ReadWholeFile(platform::NativePath(fileName), kLimit);
  if (!content) throw EFOpenError(Format("Cannot open file %s", fileName.c_str()));
  const std::string& data = *content;
  TRichDocument doc;
  if (!ParseRichText(data, doc, FAlignment)) {
    // Plain text: one paragraph per line, in the current alignment and the default style.
    const std::string text = platform::DecodeText(data);
    TParagraph p;
    p.Alignment = FAlignment;
    std::string line;
    auto flush = [&] {
      p.Runs = {{line, 0}};
      doc.Paragraphs.push_back(p);
      line.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') {
        flush();
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        line += text[i];
      }
    }
    if (!line.empty() || doc.Paragraphs.empty()) flush();
  }
  FDocument = std::move(doc);
  FSelStart = 0;
  Publish();
}

namespace {

// Reads rich text as far as the notes panel shows it: paragraphs with their alignment, and runs
// of text that are bold, italic or underlined. Everything else (fonts, colours, pictures, any
// destination group) is passed over.
class TRichTextReader {
public:
  TRichTextReader(const std::string& data, TRichDocument& document, TAlignment alignment)
      : FData(data), FDocument(document), FDefaultAlignment(alignment) {
    FState.Alignment = alignment;
  }

  bool Read() {
    if (FData.compare(0, 5, "{\\rtf") != 0) return false;
    FDocument.Paragraphs.clear();
    FParagraph.Alignment = FState.Alignment;
    while (FPos < FData.size()) {
      const char c = FData[FPos];
      if (c == '{') {
        ++FPos;
        // Nesting is bounded so that a hostile file cannot make the state stack grow without end.
        if (FStack.size() >= 256) return Finish();
        FStack.push_back(FState);
        if (FPos < FData.size() && FData[FPos] == '\\' && FPos + 1 < FData.size() && FData[FPos + 1] == '*')
          FState.Skip = true;
      } else if (c == '}') {
        ++FPos;
        if (FStack.empty()) return Finish();
        FState = FStack.back();
        FStack.pop_back();
        if (FStack.empty()) return Finish();
      } else if (c == '\\') {
        ReadControl();
      } else if (c == '\r' || c == '\n') {
        ++FPos;
      } else {
        Emit(std::string(1, c));
        ++FPos;
      }
    }
    return Finish();
  }

private:
  struct State {
    TAlignment Alignment = TAlignment::taLeftJustify;
    TFontStyles Style = 0;
    bool Skip = false;
    int UnicodeSkip = 1;
  };

  bool Finish() {
    FlushRun();
    if (!FParagraph.Runs.empty()) FDocument.Paragraphs.push_back(FParagraph);
    return true;
  }

  void Emit(const std::string& text) {
    if (FState.Skip) return;
    if (FPendingSkip > 0) {
      --FPendingSkip;
      return;
    }
    if (FState.Style != FRunStyle) FlushRun();
    FRunStyle = FState.Style;
    FRun += text;
  }

  void FlushRun() {
    if (FRun.empty()) return;
    FParagraph.Runs.push_back({FRun, FRunStyle});
    FRun.clear();
  }

  void EndParagraph() {
    if (FState.Skip) return;
    FlushRun();
    if (FParagraph.Runs.empty()) FParagraph.Runs.push_back({"", FState.Style});
    FDocument.Paragraphs.push_back(FParagraph);
    FParagraph = TParagraph{};
    FParagraph.Alignment = FState.Alignment;
  }

  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) out += static_cast<char>(code);
    else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  void ReadControl() {
    ++FPos;  // the backslash
    if (FPos >= FData.size()) return;
    const char c = FData[FPos];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++FPos;
      switch (c) {
        case '\\':
        case '{':
        case '}': Emit(std::string(1, c)); break;
        case '~': Emit("\xC2\xA0"); break;
        case '-': break;
        case '*': FState.Skip = true; break;
        case '\'': {
          // A byte of the document's code page, taken as Latin-1.
          unsigned value = 0;
          int digits = 0;
          while (digits < 2 && FPos < FData.size() && std::isxdigit(static_cast<unsigned char>(FData[FPos]))) {
            value = value * 16 + static_cast<unsigned>(std::stoi(std::string(1, FData[FPos]), nullptr, 16));
            ++FPos;
            ++digits;
          }
          std::string s;
          AppendUtf8(s, value);
          Emit(s);
          break;
        }
        case '\r':
        case '\n': EndParagraph(); break;
        default: break;
      }
      return;
    }
    std::string word;
    while (FPos < FData.size() && std::isalpha(static_cast<unsigned char>(FData[FPos])) && word.size() < 32) word += FData[FPos++];
    bool hasParam = false;
    long param = 0;
    bool negative = false;
    if (FPos < FData.size() && FData[FPos] == '-') {
      negative = true;
      ++FPos;
    }
    int digits = 0;
    while (FPos < FData.size() && std::isdigit(static_cast<unsigned char>(FData[FPos]))) {
      if (digits++ < 9) param = param * 10 + (FData[FPos] - '0');
      hasParam = true;
      ++FPos;
    }
    if (negative) param = -param;
    if (FPos < FData.size() && FData[FPos] == ' ') ++FPos;
    Control(word, hasParam, param);
  }

  void Control(const std::string& word, bool hasParam, long param) {
    auto toggle = [&](TFontStyles flag) {
      const bool on = !hasParam || param != 0;
      FState.Style = on ? (FState.Style | flag) : (FState.Style & ~flag);
    };
    if (word == "par") EndParagraph();
    else if (word == "line") Emit("\n");
    else if (word == "tab") Emit("\t");
    else if (word == "pard") {
      FState.Alignment = FDefaultAlignment;
      FParagraph.Alignment = FDefaultAlignment;
    } else if (word == "qc" || word == "ql" || word == "qr" || word == "qj") {
      FState.Alignment = word == "qc" ? TAlignment::taCenter : word == "qr" ? TAlignment::taRightJustify : TAlignment::taLeftJustify;
      FParagraph.Alignment = FState.Alignment;
    } else if (word == "plain") FState.Style = 0;
    else if (word == "b") toggle(fsBold);
    else if (word == "i") toggle(fsItalic);
    else if (word == "ul") toggle(fsUnderline);
    else if (word == "ulnone") FState.Style &= ~fsUnderline;
    else if (word == "strike") toggle(fsStrikeOut);
    else if (word == "uc") FState.UnicodeSkip = static_cast<int>(std::clamp(param, 0L, 8L));
    else if (word == "u") {
      std::string s;
      AppendUtf8(s, static_cast<unsigned>(param < 0 ? param + 65536 : param) & 0xFFFF);
      Emit(s);
      FPendingSkip = FState.UnicodeSkip;
    } else if (word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info" || word == "pict" ||
               word == "header" || word == "footer" || word == "object" || word == "listtable" || word == "generator")
      FState.Skip = true;
  }

  const std::string& FData;
  TRichDocument& FDocument;
  TAlignment FDefaultAlignment;
  size_t FPos = 0;
  State FState;
  std::vector<State> FStack;
  TParagraph FParagraph;
  std::string FRun;
  TFontStyles FRunStyle = 0;
  int FPendingSkip = 0;
};

}  // namespace

bool ParseRichText(const std::string& data, TRichDocument& document, TAlignment defaultAlignment) {
  return TRichTextReader(data, document, defaultAlignment).Read();
}
