#pragma once
// The read-only rich-edit control of the notes panel: a document of paragraphs, each with its
// alignment and runs of text with their character style.
#include <string>
#include <vector>

#include "toolkit/Controls.h"

struct TTextRun {
  std::string Text;
  TFontStyles Style = 0;
  bool operator==(const TTextRun&) const = default;
};

struct TParagraph {
  TAlignment Alignment = TAlignment::taLeftJustify;
  std::vector<TTextRun> Runs;
  std::string Text() const;
  bool operator==(const TParagraph&) const = default;
};

struct TRichDocument {
  std::vector<TParagraph> Paragraphs;
  std::string Text() const;  // paragraphs joined by "\r\n"
};

class IRichEditPeer : public IWindowPeer {
public:
  virtual void SetDocument(const TRichDocument& document, const TFontData& font, TColor textColor) = 0;
  virtual void SetCaret(int position) = 0;
  virtual void SetReadOnly(bool readOnly) = 0;
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
  int FSelStart = 0;
};

// Reads rich text (RTF) into a document. Answers false when the text is not rich text.
bool ParseRichText(const std::string& data, TRichDocument& document, TAlignment defaultAlignment);
