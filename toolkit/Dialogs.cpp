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
