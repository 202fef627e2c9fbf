#pragma once
// The document the notes panel shows (paragraphs of formatted runs), and the reader that builds
// it from rich text (RTF).
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/Graphics.h"

// One stretch of text in one character format. A field left at its "unset" value means that the
// file set nothing there, so the panel's own font or colour applies.
struct TTextRun {
  TTextRun() = default;
  TTextRun(std::string text, TFontStyles style) : Text(std::move(text)), Style(style) {}
  std::string Text;  // UTF-8; "\t" is a tab, "\n" a line break inside the paragraph
  TFontStyles Style = 0;
  std::string FontName;        // empty: the panel's font
  int FontSize = 0;            // in half points; 0: the panel's size
  TColor Color = clDefault;    // clDefault: the panel's text colour
  TColor Highlight = clNone;   // clNone: no background
  bool SameFormat(const TTextRun& other) const {
    return Style == other.Style && FontSize == other.FontSize && Color == other.Color &&
           Highlight == other.Highlight && FontName == other.FontName;
  }
  bool operator==(const TTextRun&) const = default;
};

struct TParagraph {
  TAlignment Alignment = TAlignment::taLeftJustify;
  // Lines stretched to both margins; Alignment then says where the last line goes (left).
  bool Justified = false;
  std::vector<TTextRun> Runs;
  std::string Text() const;
  bool operator==(const TParagraph&) const = default;
};

struct TRichDocument {
  std::vector<TParagraph> Paragraphs;
  std::string Text() const;  // paragraphs joined by "\r\n"
};

// What the reader keeps at most, so that any file, however hostile, is read in bounded memory.
// A document that reaches a limit is cut there; everything before it is kept.
struct TRichTextLimits {
  static constexpr std::size_t TextBytes = std::size_t{16} << 20;
  static constexpr std::size_t Paragraphs = std::size_t{1} << 17;
  static constexpr std::size_t Runs = std::size_t{1} << 19;
  // Groups nested deeper than this share the state of the deepest one kept; their text still shows.
  static constexpr std::size_t GroupDepth = 4096;
  static constexpr std::size_t Fonts = 4096;
  static constexpr std::size_t Colors = 4096;
};

// Reads rich text (RTF) into a document: the data must begin with "{\rtf". Answers false, and
// leaves the document alone, when the data is not rich text. Damaged rich text never fails: it is
// read as far as it goes. Paragraphs without an alignment of their own take defaultAlignment.
bool ParseRichText(std::string_view data, TRichDocument& document, TAlignment defaultAlignment);
