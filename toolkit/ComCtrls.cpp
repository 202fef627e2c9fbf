#include "toolkit/ComCtrls.h"

#include <fstream>
#include <sstream>

#include "platform/Paths.h"

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
  std::ifstream in;
  if (!fileName.empty() && platform::FileExists(fileName)) in.open(platform::NativePath(fileName), std::ios::binary);
  if (!in.is_open()) throw EFOpenError(Format("Cannot open file %s", fileName.c_str()));
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::string data = buffer.str();
  TRichDocument doc;
  if (!ParseRichText(data, doc, FAlignment)) {
    // Plain text: one paragraph per line, in the current alignment and the default style.
    TParagraph p;
    p.Alignment = FAlignment;
    std::string line;
    auto flush = [&] {
      p.Runs = {{line, 0}};
      doc.Paragraphs.push_back(p);
      line.clear();
    };
    for (size_t i = 0; i < data.size(); ++i) {
      if (data[i] == '\r' || data[i] == '\n') {
        flush();
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
      } else {
        line += data[i];
      }
    }
    if (!line.empty() || doc.Paragraphs.empty()) flush();
  }
  FDocument = std::move(doc);
  FSelStart = 0;
  Publish();
}

bool ParseRichText(const std::string& data, TRichDocument&, TAlignment) {
  // Rich text is recognised by its header; reading it comes with the notes panel's own work.
  (void)data;
  return false;
}
