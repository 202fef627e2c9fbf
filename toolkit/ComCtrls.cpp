#include "toolkit/ComCtrls.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/FileReading.h"
#include "platform/Paths.h"
#include "platform/TextDecoding.h"

TRichEdit::TRichEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 185, 89);
  SetColor(clWindow);
}

std::unique_ptr<IWindowPeer> TRichEdit::CreatePeer(IWindowPeer* parentPeer) {
  return Backend().CreateWindowPeer(this, parentPeer);
}

void TRichEdit::CreateHandle() {
  TWinControl::CreateHandle();
  if (auto* p = dynamic_cast<IRichEditPeer*>(Peer())) {
    p->SetReadOnly(FReadOnly);
    p->SetScrollBars(FScrollBars);
  }
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

void TRichEdit::SetScrollBars(TScrollStyle scrollBars) {
  if (scrollBars == FScrollBars) return;
  FScrollBars = scrollBars;
  if (auto* p = dynamic_cast<IRichEditPeer*>(Peer())) p->SetScrollBars(scrollBars);
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
