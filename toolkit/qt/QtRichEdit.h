#pragma once
// The peer of the notes panel (TRichEdit): a read-only QTextEdit that shows the control's
// document with its fonts, sizes, colours, highlights and alignments, and the panel's own font and
// colour wherever the document sets none.
#include <QPalette>
#include <QPointer>
#include <QTextEdit>

#include "toolkit/ComCtrls.h"

// Fills the editor with the document, replacing what it showed.
void ShowRichDocument(QTextEdit& edit, const TRichDocument& document, const TFontData& font, TColor textColor);
// Puts the caret at a character position (clamped to the text) and scrolls to the top.
void PlaceRichEditCaret(QTextEdit& edit, int position);
// The look of the panel that does not depend on the document: frame, no undo, no scroll bars.
void PrepareRichEdit(QTextEdit& edit);
void SetRichEditScrollBars(QTextEdit& edit, TScrollStyle scrollBars);
void SetRichEditBackground(QTextEdit& edit, TColor rgb);

// WidgetBase is the backend's common peer over a QWidget (bounds, visibility, focus, hints)
// instantiated for IRichEditPeer; this adds what is particular to the panel.
template <class WidgetBase>
class RichEditPeer : public WidgetBase {
public:
  explicit RichEditPeer(QTextEdit* edit) : WidgetBase(edit), FEdit(edit) { PrepareRichEdit(*edit); }
  void SetBackgroundColor(TColor rgb) override {
    if (FEdit) SetRichEditBackground(*FEdit, rgb);
  }
  void SetDocument(const TRichDocument& document, const TFontData& font, TColor textColor) override {
    if (FEdit) ShowRichDocument(*FEdit, document, font, textColor);
  }
  void SetCaret(int position) override {
    if (FEdit) PlaceRichEditCaret(*FEdit, position);
  }
  void SetReadOnly(bool readOnly) override {
    if (FEdit) FEdit->setReadOnly(readOnly);
  }
  void SetScrollBars(TScrollStyle scrollBars) override {
    if (FEdit) SetRichEditScrollBars(*FEdit, scrollBars);
  }

private:
  QPointer<QTextEdit> FEdit;
};
