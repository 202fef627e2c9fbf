#include "toolkit/Dialogs.h"

namespace {
TMessageBoxHandler gHandler;
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  TMessageBoxRequest request{text, caption, flags};
  if (gHandler) return gHandler(request);
  return Backend().ShowMessageBox(request);
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) {
  TMessageBoxHandler previous = std::move(gHandler);
  gHandler = std::move(handler);
  return previous;
}

int UnshownMessageBoxAnswer(unsigned flags) {
  switch (flags & 0x0F) {
    case MB_OK: return IDOK;
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDNO;
    default: return IDCANCEL;
  }
}

namespace {

const char* AnswerName(int answer) {
  switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "Cancel";
  }
}

}  // namespace

std::string UnshownMessageBoxText(const TMessageBoxRequest& request, int answer) {
  std::string block = request.Caption.empty() ? std::string("(no caption)") : request.Caption;
  block += ":\n";
  // The texts break their lines as the disc's home system does (CR LF); a terminal wants LF.
  std::string line;
  std::string lines;
  auto endLine = [&] {
    lines += line.empty() ? "\n" : "  " + line + "\n";
    line.clear();
  };
  const std::string& text = request.Text;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      endLine();
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      endLine();
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) endLine();
  // Line breaks at the end would only part the block from its answer.
  while (lines.size() >= 2 && lines[lines.size() - 1] == '\n' && lines[lines.size() - 2] == '\n') lines.pop_back();
  block += lines;
  if ((request.Flags & 0x0F) != MB_OK)
    block += std::string("  Answered ") + AnswerName(answer) + ": there is no display to ask on.\n";
  return block + "\n";
}
