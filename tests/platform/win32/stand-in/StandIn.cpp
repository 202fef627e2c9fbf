// A program the shell tests start: it writes the command line it received, as one text, and the
// folder it was started in to stand-in.txt in that folder, and ends with exit code 7. Named
// files are reached through the W functions, so names outside any ANSI code page come through.
#include <cstdio>
#include <string>

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

int main() {
  wchar_t folder[MAX_PATH];
  const ::DWORD length = ::GetCurrentDirectoryW(MAX_PATH, folder);
  const std::string text = std::string("command line: ") + win32::Narrow(::GetCommandLineW()) + "\n" +
                           "folder: " + win32::Narrow(std::wstring_view(folder, length)) + "\n";
  if (std::FILE* out = ::_wfopen(L"stand-in.txt", L"wb")) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
  }
  return 7;
}
