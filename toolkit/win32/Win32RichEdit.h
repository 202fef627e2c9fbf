#pragma once
// The peer of the notes panel (TRichEdit), for now a read-only multi-line edit control of the
// system: it shows the document's text in the panel's font and colours, without the document's
// own fonts, styles and alignments.
#include <memory>

#include "toolkit/ComCtrls.h"

namespace win32 {

// nullptr when the system refuses the window.
std::unique_ptr<IWindowPeer> CreateRichEditPeer(TRichEdit* control, IWindowPeer* parent);

}  // namespace win32
