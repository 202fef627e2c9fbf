#pragma once
// Message boxes, behind one seam: the program shows real boxes through the backend; tests install
// a handler that records each box and answers it.
#include <functional>
#include <string>

#include "toolkit/Backend.h"

enum : unsigned {
  MB_OK = 0x0000, MB_OKCANCEL = 0x0001, MB_YESNOCANCEL = 0x0003, MB_YESNO = 0x0004,
  MB_ICONSTOP = 0x0010, MB_ICONERROR = 0x0010, MB_ICONQUESTION = 0x0020,
  MB_ICONWARNING = 0x0030, MB_ICONINFORMATION = 0x0040,
  MB_APPLMODAL = 0x0000, MB_SYSTEMMODAL = 0x1000, MB_TASKMODAL = 0x2000,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

using TMessageBoxHandler = std::function<int(const TMessageBoxRequest&)>;

// Shows a box and answers the button pressed. A box closed by any other means answers IDCANCEL
// (never IDYES).
int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
// Installs a handler in place of the real boxes; answers the previous one. An empty handler
// restores the real boxes.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);

// Where no box can be shown (a windowless run without a display), a box is written out as text
// and answered without a user: a notice with OK, a question with No, any other choice with Cancel.
int UnshownMessageBoxAnswer(unsigned flags);
// The box as a block of text: the caption on a line of its own, then the text's lines indented
// by two spaces, then, for a box that offers a choice, the answer taken; an empty line ends it.
std::string UnshownMessageBoxText(const TMessageBoxRequest& request, int answer);
