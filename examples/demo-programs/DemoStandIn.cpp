// The Windows stand-ins of the demo disc's player and installers, one program built three times
// (QV_DEMO_ROLE names the role), doing what the disc's shell stand-ins do on Linux: they record
// that they ran, with their arguments (and the player its working folder), in the file named by
// QUORVANE_DEMO_LOG (default: quorvane-demo.log in the temporary folder); the installers wait a
// moment like real ones and install nothing.
#include <cstdio>
#include <string>

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

#include <shellapi.h>

namespace {

std::wstring LogFile() {
  wchar_t buffer[32768];
  DWORD got = ::GetEnvironmentVariableW(L"QUORVANE_DEMO_LOG", buffer, 32768);
  if (got > 0 && got < 32768) return std::wstring(buffer, got);
  got = ::GetTempPathW(32768, buffer);
  return std::wstring(buffer, got < 32768 ? got : 0) + L"quorvane-demo.log";
}

void Append(const std::string& lines) {
  if (std::FILE* log = ::_wfopen(LogFile().c_str(), L"ab")) {
    std::fwrite(lines.data(), 1, lines.size(), log);
    std::fclose(log);
  }
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::string joined, lines;
  for (int i = 1; wide && i < count; ++i) {
    const std::string argument = win32::Narrow(wide[i]);
    joined += (i > 1 ? " " : "") + argument;
    lines += "arg: " + argument + "\n";
  }
  if (wide) ::LocalFree(wide);
  const std::string role = QV_DEMO_ROLE;
  if (role == "player") {
    wchar_t folder[MAX_PATH];
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, folder);
    Append("player ran in " + win32::Narrow(std::wstring_view(folder, length)) + "\n" + lines);
    return 0;
  }
  Append(role + " installer ran: " + joined + "\n");
  ::Sleep(1000);
  Append(role + " installer finished\n");
  return 0;
}
