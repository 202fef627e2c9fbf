#pragma once
// The read-only rich-edit control of the notes panel. It keeps the document (toolkit/RichText.h)
// and hands it to its peer, which shows it in the panel's own font and colour where the document
// sets none.
#include <string>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/RichText.h"

// Which scroll bars the panel shows; a bar is shown whether or not the text needs it.
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class IRichEditPeer : public IWindowPeer {
public:
  virtual void SetDocument(const TRichDocument& document, const TFontData& font, TColor textColor) = 0;
  virtual void SetCaret(int position) = 0;
  virtual void SetReadOnly(bool readOnly) = 0;
  virtual void SetScrollBars(TScrollStyle scrollBars) = 0;
};

class TRichEdit : public TWinControl {
public:
  QV_CLASS(TRichEdit)
  explicit TRichEdit(TComponent* owner);

  void Clear();
  // Adds one paragraph in the current paragraph alignment and character style.
  void AddLine(const std::string& text);
  TAlignment ParagraphAlignment() const { return FAlignment; }
  // Sets the alignment of the paragraph being written and of every paragraph after it.
  void SetParagraphAlignment(TAlignment alignment);
  TFontStyles SelStyle() const { return FStyle; }
  void SetSelStyle(TFontStyles style) { FStyle = style; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle scrollBars);
  int SelStart() const { return FSelStart; }
  int SelLength() const { return 0; }
  void SetSelStart(int position);

  // Replaces the whole content by the file: rich text when the file is rich text, otherwise plain
  // text in the current alignment. "Cannot open file %s" when it cannot be read.
  void LoadFromFile(const std::string& fileName);

  const TRichDocument& Document() const { return FDocument; }
  std::string Text() const { return FDocument.Text(); }

protected:
  std::unique_ptr<IWindowPeer> CreatePeer(IWindowPeer* parentPeer) override;
  void CreateHandle() override;
  void CMFontChanged(TMessage& message) override;

private:
  void Publish();
  IRichEditPeer* RichPeer() const { return static_cast<IRichEditPeer*>(Peer()); }
  TRichDocument FDocument;
  TAlignment FAlignment = TAlignment::taLeftJustify;
  TFontStyles FStyle = 0;
  bool FReadOnly = false;
  TScrollStyle FScrollBars = TScrollStyle::ssNone;
  int FSelStart = 0;
};
