#pragma once
// The peer of the notes panel (TRichEdit): the system's read-only rich-edit control, showing the
// document with its fonts, sizes, styles, colours, highlights and paragraph alignments, and the
// panel's own font and text colour wherever the document sets none. Where the rich-edit library
// cannot be loaded, a plain multi-line edit control shows the document's text in the panel's font
// and colours instead.
#include <memory>

#include "toolkit/ComCtrls.h"

namespace win32 {

// nullptr when the system refuses the window.
std::unique_ptr<IWindowPeer> CreateRichEditPeer(TRichEdit* control, IWindowPeer* parent);

}  // namespace win32
