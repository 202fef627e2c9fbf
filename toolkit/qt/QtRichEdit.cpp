#include "toolkit/qt/QtRichEdit.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "toolkit/qt/QtDeviceContext.h"

namespace {

Qt::Alignment BlockAlignment(const TParagraph& paragraph) {
  if (paragraph.Justified) return Qt::AlignJustify;
  switch (paragraph.Alignment) {
    case TAlignment::taCenter: return Qt::AlignHCenter;
    case TAlignment::taRightJustify: return Qt::AlignRight;
    default: return Qt::AlignLeft;
  }
}

QTextCharFormat RunFormat(const TTextRun& run, const QFont& base, TColor textColor) {
  QFont font = base;
  if (!run.FontName.empty()) {
    // The base families follow the document's face, so a face that is not installed falls back
    // to the panel's own rather than to whatever the system picks.
    QStringList families = base.families();
    families.prepend(QString::fromStdString(run.FontName));
    font.setFamilies(families);
  }
  if (run.FontSize > 0) font.setPointSizeF(run.FontSize / 2.0);
  font.setBold(run.Style & fsBold);
  font.setItalic(run.Style & fsItalic);
  font.setUnderline(run.Style & fsUnderline);
  font.setStrikeOut(run.Style & fsStrikeOut);
  QTextCharFormat format;
  format.setFont(font, QTextCharFormat::FontPropertiesAll);
  format.setForeground(ToQColor(run.Color == clDefault ? textColor : ColorToRGB(run.Color)));
  if (run.Highlight != clNone) format.setBackground(ToQColor(ColorToRGB(run.Highlight)));
  return format;
}

QString RunText(const std::string& text) {
  QString s = QString::fromStdString(text);
  // A line break inside a paragraph; a plain newline would start a new block.
  s.replace(QLatin1Char('\n'), QChar::LineSeparator);
  return s;
}

}  // namespace

void PrepareRichEdit(QTextEdit& edit) {
  SetRichEditScrollBars(edit, TScrollStyle::ssNone);
  edit.setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  edit.setUndoRedoEnabled(false);
}

void SetRichEditScrollBars(QTextEdit& edit, TScrollStyle scrollBars) {
  // A bar that is asked for stays, also while the text fits: the panel does not jump in width
  // when a longer text is loaded.
  const bool vertical = scrollBars == TScrollStyle::ssVertical || scrollBars == TScrollStyle::ssBoth;
  const bool horizontal = scrollBars == TScrollStyle::ssHorizontal || scrollBars == TScrollStyle::ssBoth;
  edit.setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  edit.setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void SetRichEditBackground(QTextEdit& edit, TColor rgb) {
  QPalette p = edit.palette();
  p.setColor(QPalette::Base, ToQColor(rgb));
  edit.setPalette(p);
}

void ShowRichDocument(QTextEdit& edit, const TRichDocument& document, const TFontData& font, TColor textColor) {
  edit.clear();
  QFont base = ToQFont(font);
  base.setStyleStrategy(QFont::PreferDefault);
  edit.document()->setDefaultFont(base);
  QTextCursor cursor(edit.document());
  cursor.beginEditBlock();
  bool first = true;
  for (const TParagraph& paragraph : document.Paragraphs) {
    QTextBlockFormat block;
    block.setAlignment(BlockAlignment(paragraph));
    if (first) cursor.setBlockFormat(block);
    else cursor.insertBlock(block);
    first = false;
    for (const TTextRun& run : paragraph.Runs) {
      const QTextCharFormat format = RunFormat(run, base, textColor);
      // An empty paragraph still has the height of its format's line.
      if (run.Text.empty()) cursor.setBlockCharFormat(format);
      else cursor.insertText(RunText(run.Text), format);
    }
  }
  cursor.endEditBlock();
}

void PlaceRichEditCaret(QTextEdit& edit, int position) {
  QTextCursor c(edit.document());
  c.setPosition(std::clamp(position, 0, std::max(0, edit.document()->characterCount() - 1)));
  edit.setTextCursor(c);
  edit.verticalScrollBar()->setValue(0);
}
